#include "dataset/timestamp_field.h"

#include "dataset/extra_codec.h"

TTimeStampField::TTimeStampField(TComponent* owner) : TDateTimeField(owner, ftTimeStamp) {}

bool TTimeStampField::Ticks(uint64_t& ticks) const {
    ticks = 0;
    return GetData(&ticks);
}

bool TTimeStampField::ReadValue(TDateTime& value) const {
    uint64_t ticks = 0;
    const bool ok = Ticks(ticks);
    value = ok ? TicksToDateTime(ticks) : 0;
    return ok;
}

void TTimeStampField::WriteValue(TDateTime value) {
    uint64_t ticks = DateTimeToTicks(value);
    SetData(&ticks);
}
