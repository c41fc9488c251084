#include "app/file_keys.h"

#include <algorithm>

#include "dataset/btr_dataset.h"
#include "platform/format.h"

int PrimaryKeyIndex(const std::vector<TSqlKey>& keys) {
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i].Unique && !keys[i].NullSegments && !keys[i].Columns.empty())
            return static_cast<int>(i);
    return -1;
}

namespace {

void AddColumn(TSqlKey& key, const std::string& name) {
    if (std::find(key.Columns.begin(), key.Columns.end(), name) == key.Columns.end())
        key.Columns.push_back(name);
}

// The fields of the dataset whose bytes meet those of a segment no field covers exactly, in
// record order. A unique key over them stays unique: they hold every byte of the segment.
std::vector<std::string> SpannedFields(const TBDataSet& dataSet, const TBKey& segment) {
    std::vector<std::string> names;
    const TBFieldList* fields = dataSet.FieldDescriptions();
    if (!fields) return names;
    const int64_t begin = segment.Offset, end = begin + segment.Size;
    std::vector<const TBField*> met;
    for (const TBField& f : fields->Items)
        if (f.Size > 0 && f.Offset < end && f.Offset + f.Size > begin && dataSet.FindField(f.Name))
            met.push_back(&f);
    std::sort(met.begin(), met.end(),
              [](const TBField* a, const TBField* b) { return a->Offset < b->Offset; });
    int64_t at = begin;
    for (const TBField* f : met) {
        if (f->Offset > at) break;  // a byte of the segment in no field
        at = std::max<int64_t>(at, f->Offset + f->Size);
        names.push_back(f->Name);
    }
    if (at < end) names.clear();
    return names;
}

}  // namespace

std::vector<TSqlKey> DataFileKeys(const TBDataSet& dataSet) {
    std::vector<TSqlKey> keys;
    const TBKeyList* described = dataSet.KeyDescriptions();
    if (!dataSet.DataFile() || !described) return keys;
    for (const TKeyShape& shape : described->Shapes) {
        const int k = shape.KeyNumber;
        TSqlKey key;
        key.Number = k;
        key.Unique = shape.Unique;
        key.NullSegments = shape.NullSegments;
        std::vector<const TBKey*> names;
        for (const TBKey& d : described->Items)
            if (d.KeyNumber == k) names.push_back(&d);
        // The null indicator of a true-null column has no column of its own.
        const auto count = static_cast<size_t>(
            std::count_if(shape.Segments.begin(), shape.Segments.end(),
                          [](const TKeySegmentShape& s) { return !s.NullIndicator; }));
        if (count == 0 || names.size() != count) continue;  // not named one for one
        std::string spanned, uncovered;
        for (const TBKey* d : names) {
            if (!d->FieldName.empty()) {
                AddColumn(key, d->FieldName);
                continue;
            }
            const std::vector<std::string> fields = SpannedFields(dataSet, *d);
            const std::string place = Format("position %d (%d bytes)", d->Offset + 1, d->Size);
            if (fields.empty()) {
                uncovered += (uncovered.empty() ? "" : ", ") + place;
                continue;
            }
            spanned += (spanned.empty() ? "" : ", ") + place;
            for (const std::string& name : fields) AddColumn(key, name);
        }
        if (!uncovered.empty()) {
            key.Columns.clear();
            key.Warning = Format("key %d: no fields hold its segment at %s; the key is left out", k,
                                 uncovered.c_str());
        } else if (!spanned.empty()) {
            std::string columns;
            for (const std::string& c : key.Columns) columns += (columns.empty() ? "" : ", ") + c;
            key.Warning = Format(
                "key %d: no field covers its segment at %s exactly; the key is written over "
                "the fields it spans (%s)",
                k, spanned.c_str(), columns.c_str());
        }
        keys.push_back(std::move(key));
    }
    return keys;
}
