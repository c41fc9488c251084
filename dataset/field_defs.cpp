#include "dataset/field_defs.h"

TFieldDef& TFieldDefs::Add(const std::string& name, TFieldType type, int32_t size, bool required) {
    TFieldDef& def = defs_.emplace_back();
    def.Name = name;
    def.DataType = type;
    def.Size = size;
    def.Required = required;
    def.FieldNo = static_cast<int>(defs_.size());
    return def;
}

const TFieldDef* TFieldDefs::Find(const std::string& name) const {
    for (const TFieldDef& def : defs_)
        if (def.Name == name) return &def;
    return nullptr;
}
