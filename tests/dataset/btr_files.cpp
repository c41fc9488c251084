#include "btr_files.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "btrieve/btr_call.h"
#include "platform/codepage.h"
#include "recman/btrcall.h"

namespace {

void Check(int16_t status, const char* what) {
    if (status != 0)
        throw std::runtime_error(std::string(what) + " failed with status " +
                                 std::to_string(status));
}

std::string Oem(const std::string& utf8) {
    return AnsiToOemText(Utf8ToAnsi(utf8));
}

}  // namespace

TTempDir::TTempDir() {
    // The embedded record manager answers the Btrieve call in these tests.
    SetBtrCall(&BTRCALL);
    char pattern[] = "/tmp/quorvath-dataset-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TTempDir::~TTempDir() {
    uint32_t length = 0;
    BtrCall(28, nullptr, nullptr, &length, nullptr, 0, 0);  // reset: close every file
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

recman::KeySegment Segment(uint16_t position, uint16_t length, uint8_t type, bool seg,
                           bool duplicates) {
    recman::KeySegment s;
    s.position = position;
    s.length = length;
    s.type = type;
    s.storedType = type;
    s.flags = static_cast<uint16_t>(recman::kKeyExtended | recman::kKeyModifiable |
                                    (duplicates ? recman::kKeyDuplicates : 0) |
                                    (seg ? recman::kKeySegmented : 0));
    return s;
}

void MakeBtrieveFile(const std::string& path, uint16_t recordLength,
                     const std::vector<std::vector<recman::KeySegment>>& keys,
                     const std::vector<std::string>& records, bool variable) {
    recman::FileDef def;
    def.recordLength = recordLength;
    def.pageSize = 4096;
    def.fileFlags = variable ? recman::kFileVariable : 0;
    for (const auto& segments : keys) def.keys.push_back(recman::KeyDef{segments});
    std::string spec = recman::SerializeFileSpec(def);
    std::string name = path;  // ASCII paths: CP1251 and UTF-8 agree
    std::vector<char> key(name.begin(), name.end());
    key.push_back('\0');
    uint32_t length = static_cast<uint32_t>(spec.size());
    uint8_t block[128] = {};
    Check(BtrCall(14, block, spec.data(), &length, key.data(), static_cast<uint8_t>(key.size()), 0),
          "Create");
    std::memset(block, 0, sizeof block);
    char owner[1] = {0};
    length = 1;
    Check(BtrCall(0, block, owner, &length, key.data(), static_cast<uint8_t>(key.size()), 0),
          "Open");
    std::vector<char> keyBuffer(255);
    for (const std::string& record : records) {
        std::string copy = record;
        length = static_cast<uint32_t>(copy.size());
        Check(BtrCall(2, block, copy.data(), &length, keyBuffer.data(), 255, 0), "Insert");
    }
    length = 0;
    Check(BtrCall(1, block, nullptr, &length, nullptr, 0, 0), "Close");
}

void MakeDictionary(const std::string& path, const std::vector<TDictFile>& files) {
    using recman::kInteger;
    using recman::kUnsignedBinary;
    using recman::kZstring;
    std::vector<std::string> records;
    uint32_t sequence = 1;
    auto record = [&](int16_t kind, const std::string& file) {
        TRecordBytes r(141);
        r.Value<int16_t>(0, kind).Text(2, file.substr(0, 20)).Value<uint32_t>(23, sequence++);
        return r;
    };
    for (const TDictFile& f : files) {
        records.push_back(record(1, f.Name).Bytes());
        for (const TDictField& field : f.Fields) {
            TRecordBytes r = record(2, f.Name);
            r.Text(27, Oem(field.Name).substr(0, 20))
                .Value<uint16_t>(48, static_cast<uint16_t>(field.TypeCode))
                .Value<int32_t>(52, field.Size);
            records.push_back(r.Bytes());
        }
        for (const TDictSegment& s : f.Keys) {
            TRecordBytes r = record(3, f.Name);
            uint16_t flags = (s.Segmented ? 0x10 : 0) | (s.CaseInsensitive ? 0x400 : 0);
            r.Text(27, Oem(s.FieldName).substr(0, 20)).Value<uint16_t>(50, flags);
            records.push_back(r.Bytes());
        }
    }
    MakeBtrieveFile(path, 141,
                    {{Segment(24, 4, kUnsignedBinary, false, false)},
                     {Segment(1, 2, kInteger, true), Segment(3, 21, kZstring)},
                     {Segment(1, 2, kInteger, true, false), Segment(3, 21, kZstring, true, false),
                      Segment(24, 4, kUnsignedBinary, false, false)}},
                    records);
}

TRecordBytes& TRecordBytes::Put(size_t offset, const void* data, size_t size) {
    if (offset + size > bytes_.size()) throw std::runtime_error("record value out of range");
    std::memcpy(bytes_.data() + offset, data, size);
    return *this;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

namespace {

// A name as the dictionary stores it, blank-padded to size.
std::string Padded(const std::string& name, size_t size) {
    std::string text = name;
    text.resize(size, ' ');
    return text;
}

}  // namespace

// FILE.DDF and FIELD.DDF in folder; table ids from 1 in the given order.
void WriteDdf(const std::string& folder, const std::vector<TDdfTable>& tables) {
    std::vector<std::string> files, fields;
    uint16_t id = 1, fieldId = 1;
    for (const TDdfTable& t : tables) {
        files.push_back(TRecordBytes(97)
                            .Value<uint16_t>(0, id)
                            .Text(2, Padded(t.Name, 20))
                            .Text(22, Padded(t.Location, 64))
                            .Value<uint8_t>(86, t.Flags)
                            .Bytes());
        for (const TDdfColumn& c : t.Columns)
            fields.push_back(TRecordBytes(32)
                                 .Value<uint16_t>(0, fieldId++)
                                 .Value<uint16_t>(2, id)
                                 .Text(4, Padded(c.Name, 20))
                                 .Value<uint8_t>(24, static_cast<uint8_t>(c.Type))
                                 .Value<uint16_t>(25, static_cast<uint16_t>(c.Offset))
                                 .Value<uint16_t>(27, static_cast<uint16_t>(c.Size))
                                 .Bytes());
        ++id;
    }
    MakeBtrieveFile(folder + "/FILE.DDF", 97, {{Segment(1, 2, 1, false, false)}}, files);
    MakeBtrieveFile(folder + "/FIELD.DDF", 32, {{Segment(1, 2, 1, false, false)}}, fields);
}
