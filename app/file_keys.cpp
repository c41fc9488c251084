#include "app/file_keys.h"

#include <algorithm>

#include "btrieve/btr_file.h"
#include "dataset/btr_dataset.h"
#include "dict/ddf_dictionary.h"
#include "recman/btrieve_codes.h"

int PrimaryKeyIndex(const std::vector<TSqlKey>& keys) {
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i].Unique && !keys[i].NullSegments) return static_cast<int>(i);
    return -1;
}

std::vector<TSqlKey> DataFileKeys(const TBDataSet& dataSet) {
    std::vector<TSqlKey> keys;
    const TBtrieveFile* file = dataSet.DataFile();
    const TBKeyList* described = dataSet.KeyDescriptions();
    if (!file || !described) return keys;
    const auto& segments = file->SegmentTable();
    for (int k = 0; k < file->KeyCount(); ++k) {
        TSqlKey key;
        key.Number = k;
        std::vector<std::string> names;
        for (const TBKey& d : described->Items)
            if (d.KeyNumber == k) names.push_back(d.FieldName);
        size_t count = 0;
        for (int s = file->KeyFirstSegment()[k]; s >= 1 && s < static_cast<int>(segments.size());
             ++s) {
            const uint16_t flags = segments[s].Flags;
            if (s == file->KeyFirstSegment()[k]) key.Unique = !(flags & recman::kKeyDuplicates);
            if (flags & (recman::kKeyNullAll | recman::kKeyNullAny)) key.NullSegments = true;
            // The null indicator of a true-null column: no column of its own.
            if (segments[s].ExtendedType == recman::kNullIndicator)
                key.NullSegments = true;
            else
                ++count;
            if (!(flags & recman::kKeySegmented)) break;
        }
        if (count == 0 || names.size() != count) continue;  // not named one for one
        for (const std::string& name : names)
            if (std::find(key.Columns.begin(), key.Columns.end(), name) == key.Columns.end())
                key.Columns.push_back(name);
        keys.push_back(std::move(key));
    }
    return keys;
}

bool DictionaryTakesFileKeys(const std::string& dictName) {
    return dictName.empty() || IsDdfDictionary(dictName);
}
