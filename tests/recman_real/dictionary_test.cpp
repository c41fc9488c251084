// Dictionaries kept as files of the vendor's format: the dictionary reader finds its data
// file descriptions through the Btrieve call and this reader, in both record forms.
#include <gtest/gtest.h>

#include "bench/real/real_image.h"
#include "dict/dictionary.h"
#include "dict/session.h"
#include "platform/codepage.h"
#include "recman/btrcall.h"
#include "tests/dict/dict_fixture.h"

namespace {

// The Btrieve layer reaches the record manager through a weak reference; this strong one
// links the record manager into the program.
[[maybe_unused]] const auto kRecordManager = &BTRCALL;

// Writes the fixture dictionary as a 5.x file; a key whose values repeat gets duplicates.
std::string WriteDictionary(const std::string& name, const std::string& desc,
                            const std::string& source) {
    const TFixtureSpec spec = ParseDescription(ReadFixtureFile(FixtureDir() + desc));
    const std::vector<std::string> rows =
        ParseRecordSource(ReadFixtureFile(FixtureDir() + source), spec.RecordLength);
    realbench::TImageSpec image;
    image.recordLength = spec.RecordLength;
    image.pageSize = 1024;
    realbench::TImageKey key;
    for (const TFixtureSegment& s : spec.Segments) {
        key.segments.push_back({uint16_t(s.Position - 1), s.Length, s.Type,
                                uint16_t(s.CaseInsensitive ? 0x400 : 0), 0});
        if (s.Segmented) continue;
        image.keys.push_back(key);
        key = {};
    }
    std::vector<std::vector<uint8_t>> records;
    for (const std::string& r : rows) records.emplace_back(r.begin(), r.end());
    for (auto& k : image.keys) {
        std::vector<std::string> values;
        for (const auto& r : records) {
            std::string v;
            for (const auto& s : k.segments)
                v.append(r.begin() + s.offset, r.begin() + s.offset + s.length);
            values.push_back(v);
        }
        std::sort(values.begin(), values.end());
        k.duplicates = std::adjacent_find(values.begin(), values.end()) != values.end();
    }
    const std::string path = testing::TempDir() + "/" + name;
    realbench::WriteRealImage(path, image, records);
    return path;
}

std::string FieldsText(const TBFieldList& fields) {
    std::string out;
    for (const TBField& f : fields.Items)
        out += f.Name + "@" + std::to_string(f.Offset) + ":" + std::to_string(f.TypeCode) + "/" +
               std::to_string(f.Size) + " ";
    return out;
}

std::string KeysText(const TBKeyList& keys) {
    std::string out;
    for (const TBKey& k : keys.Items)
        out += k.FieldName + "#" + std::to_string(k.KeyNumber) + (k.Segmented ? "+" : "") +
               (k.CaseInsensitive ? "i" : "") + " ";
    return out;
}

TEST(RealDictionary, BothRecordFormsAreReadFromVendorFiles) {
    TDefaultSession session;
    {
        TBDictionary dictionary;
        dictionary.SetFileName(WriteDictionary("real141.def", "dict141.desc", "dict141.txt"));
        TFileData data;
        dictionary.LoadFileData("/data/Clients.DBT", data);
        EXPECT_EQ(dictionary.DictForm(), kDict141);
        EXPECT_EQ(FieldsText(*data.Fields), Utf8ToAnsi("Код@0:3/4 Имя@4:1/10 ") + "FLAGS@14:13/2 ");
        EXPECT_EQ(KeysText(*data.Keys), Utf8ToAnsi("Код#0+ Имя#0i "));
        EXPECT_EQ(data.OwnerName, "clients.dbt");
    }
    {
        TBDictionary dictionary;
        dictionary.SetFileName(WriteDictionary("real87.def", "dict87.desc", "dict87.txt"));
        TFileData data;
        dictionary.LoadFileData("clients.dbt", data);
        EXPECT_EQ(dictionary.DictForm(), kDict87);
        EXPECT_EQ(FieldsText(*data.Fields),
                  Utf8ToAnsi("Код@0:3/4 Имя@4:1/10 ") + "FLAGS@14:2/2 X@16:14/3 ");
        EXPECT_EQ(KeysText(*data.Keys), Utf8ToAnsi("Код#0+ Имя#0 ") + "FLAGS#1 ");
        EXPECT_EQ(data.OwnerName, "secret");
    }
}

}  // namespace
