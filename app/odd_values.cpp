#include "app/odd_values.h"

#include "platform/format.h"

EValueError::EValueError(int32_t recordNo, const std::string& fieldName, const std::string& detail)
    : Exception(Format("Record %d, field %s: %s", recordNo, fieldName.c_str(), detail.c_str())),
      RecordNo(recordNo),
      FieldName(fieldName),
      Detail(detail) {}

void RaiseTableValueError(const std::string& table, int32_t recordNo, const TField& field,
                          const std::exception& error) {
    const auto* value = dynamic_cast<const EValueError*>(&error);
    throw Exception(Format("Table %s, record %d, field %s: %s", table.c_str(),
                           value ? value->RecordNo : recordNo,
                           (value ? value->FieldName : field.FieldName()).c_str(),
                           value ? value->Detail.c_str() : error.what()));
}

void TOddValues::Start(const std::string& table, bool strict) {
    table_ = table;
    strict_ = strict;
    columns_.clear();
    index_.clear();
}

void TOddValues::WrittenAsNull(const TField& field, int32_t recordNo, const std::string& what,
                               const std::string& kind) {
    if (strict_)
        throw EValueError(recordNo, field.FieldName(),
                          what + "; without --strict it is written as NULL");
    auto [at, added] = index_.emplace(field.FieldName(), columns_.size());
    if (added) columns_.push_back({field.FieldName(), kind, 0});
    ++columns_[at->second].Count;
}

std::vector<std::string> TOddValues::Warnings() const {
    std::vector<std::string> lines;
    for (const TColumn& c : columns_)
        lines.push_back(Format("Table %s, field %s: %lld %s written as NULL (%s)", table_.c_str(),
                               c.Field.c_str(), static_cast<long long>(c.Count),
                               c.Count == 1 ? "value" : "values", c.Kind.c_str()));
    return lines;
}
