// ftTimeStamp: a timestamp kept as the file stores it, 100-ns ticks since 1 January of year 1,
// so that no digit of its fraction of a second is lost to a TDateTime's rounding.
#pragma once

#include <cstdint>

#include "dataset/fields.h"

class TTimeStampField : public TDateTimeField {
  public:
    explicit TTimeStampField(TComponent* owner = nullptr);
    int32_t DataSize() const override { return 8; }
    // The ticks of the current value; false for a null.
    bool Ticks(uint64_t& ticks) const;

  protected:
    bool ReadValue(TDateTime& value) const override;
    void WriteValue(TDateTime value) override;
};
