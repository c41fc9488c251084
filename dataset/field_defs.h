// Field definitions: one per column of a dataset's data source, in column order. Fields are
// made from them when the dataset opens.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dataset/field_type.h"

struct TFieldDef {
    std::string Name;
    std::string Utf8Name;  // the name in UTF-8 when CP1251 lacks some of its letters
    TFieldType DataType = ftUnknown;
    int32_t Size = 0;
    int32_t Scale = 0;  // digits after the point of an exact decimal
    bool Required = false;
    int FieldNo = 0;  // 1-based position; links a field to its column
};

class TFieldDefs {
  public:
    // Appends a definition; its FieldNo is its new 1-based position.
    TFieldDef& Add(const std::string& name, TFieldType type, int32_t size = 0,
                   bool required = false);
    void Clear() { defs_.clear(); }
    int Count() const { return static_cast<int>(defs_.size()); }
    const TFieldDef& operator[](int index) const { return defs_.at(index); }
    TFieldDef& operator[](int index) { return defs_.at(index); }
    // The definition of that exact name, or nullptr.
    const TFieldDef* Find(const std::string& name) const;
    std::vector<TFieldDef>::const_iterator begin() const { return defs_.begin(); }
    std::vector<TFieldDef>::const_iterator end() const { return defs_.end(); }

  private:
    std::vector<TFieldDef> defs_;
};
