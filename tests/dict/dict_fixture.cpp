#include "tests/dict/dict_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/codepage.h"

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

uint8_t KeyType(const std::string& name) {
    std::string prefix = Lower(name).substr(0, 3);
    if (prefix == "str") return 0;
    if (prefix == "int") return 1;
    if (prefix == "zst") return 11;
    if (prefix == "uns") return 14;
    if (prefix == "aut") return 15;
    throw std::runtime_error("unknown key type: " + name);
}

int64_t Number(const std::string& text, int line) {
    try {
        size_t used = 0;
        int64_t value = std::stoll(text, &used, 0);
        if (used == text.size()) return value;
    } catch (const std::exception&) {
    }
    throw std::runtime_error("line " + std::to_string(line) + ": not a number: " + text);
}

}  // namespace

TFixtureSpec ParseDescription(const std::string& text) {
    TFixtureSpec spec;
    std::istringstream in(text);
    std::string token;
    TFixtureSegment segment;
    bool inSegment = false;
    while (in >> token) {
        size_t eq = token.find('=');
        if (eq == std::string::npos) throw std::runtime_error("not keyword=value: " + token);
        std::string key = Lower(token.substr(0, eq));
        std::string value = token.substr(eq + 1);
        if (key == "record") {
            spec.RecordLength = static_cast<uint16_t>(std::stoi(value));
        } else if (key == "key") {
            spec.KeyCount = std::stoi(value);
        } else if (key == "position") {
            segment = TFixtureSegment{};
            segment.Position = static_cast<uint16_t>(std::stoi(value));
            inSegment = true;
        } else if (key == "length" && inSegment) {
            segment.Length = static_cast<uint16_t>(std::stoi(value));
        } else if (key == "type" && inSegment) {
            segment.Type = KeyType(value);
        } else if (key == "caseinsensitive" && inSegment) {
            segment.CaseInsensitive = Lower(value) == "y";
        } else if (key == "segment" && inSegment) {
            segment.Segmented = Lower(value) == "y";
            spec.Segments.push_back(segment);
            inSegment = false;
        }
    }
    int keys = 0;
    for (const auto& s : spec.Segments)
        if (!s.Segmented) ++keys;
    if (spec.RecordLength == 0) throw std::runtime_error("description without record=");
    if (keys != spec.KeyCount)
        throw std::runtime_error("key=" + std::to_string(spec.KeyCount) + " but " +
                                 std::to_string(keys) + " keys are described");
    return spec;
}

std::vector<std::string> ParseRecordSource(const std::string& text, uint16_t recordLength) {
    std::vector<std::string> records;
    std::istringstream in(text);
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        line = line.substr(0, line.find('#'));
        std::istringstream items(line);
        std::string item;
        std::string record(recordLength, '\0');
        bool any = false;
        while (items >> item) {
            any = true;
            size_t a = item.find(':');
            size_t b = a == std::string::npos ? a : item.find(':', a + 1);
            if (b == std::string::npos)
                throw std::runtime_error("line " + std::to_string(lineNumber) +
                                         ": not OFFSET:TYPE:VALUE: " + item);
            size_t offset = static_cast<size_t>(Number(item.substr(0, a), lineNumber));
            std::string type = item.substr(a + 1, b - a - 1);
            std::string value = item.substr(b + 1);
            std::string bytes;
            auto little = [&bytes](uint64_t v, int n) {
                for (int i = 0; i < n; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
            };
            if (type == "u8")
                little(static_cast<uint64_t>(Number(value, lineNumber)), 1);
            else if (type == "i16" || type == "u16")
                little(static_cast<uint64_t>(Number(value, lineNumber)), 2);
            else if (type == "i32" || type == "u32")
                little(static_cast<uint64_t>(Number(value, lineNumber)), 4);
            else if (type == "c")
                bytes = value.substr(0, 1);
            else if (type == "z")
                bytes = Utf8ToAnsi(value);
            else if (type == "oem")
                bytes = AnsiToOemText(Utf8ToAnsi(value));
            else if (type == "hex") {
                for (size_t i = 0; i + 1 < value.size(); i += 2)
                    bytes += static_cast<char>(std::stoi(value.substr(i, 2), nullptr, 16));
            } else
                throw std::runtime_error("line " + std::to_string(lineNumber) + ": unknown type " +
                                         type);
            if (offset + bytes.size() > record.size())
                throw std::runtime_error("line " + std::to_string(lineNumber) + ": " + item +
                                         " runs past the record");
            record.replace(offset, bytes.size(), bytes);
        }
        if (any) records.push_back(record);
    }
    return records;
}

std::string ReadFixtureFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string FixtureDir() {
    return std::string(QUORVATH_SOURCE_DIR) + "/tests/dict/fixtures/";
}

// ---- the in-memory record manager

struct TMemoryRecman::TFile {
    TFixtureSpec Spec;
    std::vector<std::string> Records;
    std::vector<std::vector<size_t>> Order;  // per key, record indexes in key order
    std::vector<size_t> FirstSegment;        // per key, index into Spec.Segments

    std::string KeyOf(size_t key, const std::string& record) const {
        std::string out;
        for (size_t s = FirstSegment[key];; ++s) {
            const auto& seg = Spec.Segments[s];
            out += record.substr(seg.Position - 1, seg.Length);
            if (!seg.Segmented) break;
        }
        return out;
    }

    // Compares two key values of key segment by segment.
    int Compare(size_t key, const std::string& a, const std::string& b) const {
        size_t at = 0;
        for (size_t s = FirstSegment[key];; ++s) {
            const auto& seg = Spec.Segments[s];
            std::string x = a.substr(at, seg.Length), y = b.substr(at, seg.Length);
            x.resize(seg.Length, '\0');
            y.resize(seg.Length, '\0');
            int c = 0;
            if (seg.Type == 1 || seg.Type == 14 || seg.Type == 15) {
                for (size_t i = seg.Length; i-- > 0 && c == 0;) {
                    int xa = static_cast<uint8_t>(x[i]), ya = static_cast<uint8_t>(y[i]);
                    if (seg.Type == 1 && i + 1 == seg.Length) {  // sign byte
                        xa ^= 0x80;
                        ya ^= 0x80;
                    }
                    c = xa < ya ? -1 : xa > ya ? 1 : 0;
                }
            } else {
                if (seg.Type == 11) {  // zstring: up to the terminator
                    x = x.substr(0, x.find('\0'));
                    y = y.substr(0, y.find('\0'));
                }
                if (seg.CaseInsensitive) {
                    for (char& ch : x)
                        ch = static_cast<char>(std::toupper(static_cast<uint8_t>(ch)));
                    for (char& ch : y)
                        ch = static_cast<char>(std::toupper(static_cast<uint8_t>(ch)));
                }
                c = x.compare(y);
                c = c < 0 ? -1 : c > 0 ? 1 : 0;
            }
            if (c != 0) return c;
            at += seg.Length;
            if (!seg.Segmented) return 0;
        }
    }
};

struct TMemoryRecman::TCursor {
    std::shared_ptr<TFile> File;
    int Key = 0;
    size_t Rank = 0;  // place in the order of Key
    bool Positioned = false;
};

TMemoryRecman::TMemoryRecman()
    : scope_([this](uint16_t op, void* pos, void* data, uint32_t* len, void* key, uint8_t keyLen,
                    int8_t keyNum) { return Call(op, pos, data, len, key, keyLen, keyNum); }) {}

TMemoryRecman::~TMemoryRecman() = default;

void TMemoryRecman::AddFile(const std::string& name, const TFixtureSpec& spec,
                            const std::vector<std::string>& records) {
    auto file = std::make_shared<TFile>();
    file->Spec = spec;
    file->Records = records;
    size_t s = 0;
    for (int k = 0; k < spec.KeyCount; ++k) {
        file->FirstSegment.push_back(s);
        while (spec.Segments[s].Segmented) ++s;
        ++s;
    }
    for (int k = 0; k < spec.KeyCount; ++k) {
        std::vector<size_t> order(records.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return file->Compare(k, file->KeyOf(k, records[a]), file->KeyOf(k, records[b])) < 0;
        });
        file->Order.push_back(order);
    }
    files_[name] = file;
}

void TMemoryRecman::AddFixture(const std::string& name, const std::string& descFile,
                               const std::string& sourceFile) {
    TFixtureSpec spec = ParseDescription(ReadFixtureFile(FixtureDir() + descFile));
    AddFile(name, spec,
            ParseRecordSource(ReadFixtureFile(FixtureDir() + sourceFile), spec.RecordLength));
}

int TMemoryRecman::Count(uint16_t operation) const {
    return static_cast<int>(std::count(Operations.begin(), Operations.end(), operation));
}

int TMemoryRecman::OpenFiles() const {
    return static_cast<int>(cursors_.size());
}

int16_t TMemoryRecman::Call(uint16_t op, void* pos, void* data, uint32_t* len, void* key,
                            uint8_t keyLen, int8_t keyNum) {
    Operations.push_back(op);
    auto* block = static_cast<uint8_t*>(pos);
    uint32_t id = 0;
    if (op == 0) {
        const char* name = static_cast<const char*>(key);
        auto it = files_.find(std::string(name, strnlen(name, keyLen)));
        if (it == files_.end()) return 12;
        id = nextCursor_++;
        auto cursor = std::make_unique<TCursor>();
        cursor->File = it->second;
        cursors_[id] = std::move(cursor);
        std::memcpy(block, &id, 4);
        return 0;
    }
    if (!block) return 1;
    std::memcpy(&id, block, 4);
    auto found = cursors_.find(id);
    if (found == cursors_.end()) return 3;
    TCursor& cursor = *found->second;
    TFile& file = *cursor.File;
    const int keyCount = file.Spec.KeyCount;

    // Hands out the record at rank of key k: the data as far as the buffer reaches (22 when
    // it is short), the record's key into the key buffer.
    auto deliver = [&](int k, size_t rank) -> int16_t {
        cursor.Key = k;
        cursor.Rank = rank;
        cursor.Positioned = true;
        const std::string& record = file.Records[file.Order[k][rank]];
        std::string keyValue = file.KeyOf(k, record);
        if (keyLen < keyValue.size()) return 21;
        std::memcpy(key, keyValue.data(), keyValue.size());
        uint32_t n = std::min<uint32_t>(*len, static_cast<uint32_t>(record.size()));
        std::memcpy(data, record.data(), n);
        *len = n;
        return n < record.size() ? int16_t{22} : int16_t{0};
    };
    auto validKey = [&] { return keyNum >= 0 && keyNum < keyCount; };

    switch (op) {
        case 1:
            cursors_.erase(found);
            return 0;
        case 15: {
            if (*len < 2185) return 22;
            auto* stat = static_cast<uint8_t*>(data);
            std::memset(stat, 0, 2185);
            auto put16 = [](uint8_t* p, uint16_t v) {
                p[0] = static_cast<uint8_t>(v);
                p[1] = static_cast<uint8_t>(v >> 8);
            };
            put16(stat, file.Spec.RecordLength);
            put16(stat + 4, static_cast<uint16_t>(keyCount));
            uint32_t records = static_cast<uint32_t>(file.Records.size());
            std::memcpy(stat + 6, &records, 4);
            for (size_t i = 0; i < file.Spec.Segments.size() && i < 119; ++i) {
                const auto& seg = file.Spec.Segments[i];
                uint8_t* spec = stat + 16 * (i + 1);
                put16(spec, seg.Position);
                put16(spec + 2, seg.Length);
                put16(spec + 4, static_cast<uint16_t>((seg.Segmented ? 0x10 : 0) |
                                                      (seg.CaseInsensitive ? 0x400 : 0) | 0x100));
                spec[10] = seg.Type;
            }
            *len = 2185;
            return 0;
        }
        case 5:
        case 9: {
            if (!validKey()) return 6;
            std::string wanted(static_cast<const char*>(key), keyLen);
            const auto& order = file.Order[keyNum];
            for (size_t rank = 0; rank < order.size(); ++rank) {
                int c = file.Compare(keyNum, file.KeyOf(keyNum, file.Records[order[rank]]), wanted);
                if (c == 0 || (op == 9 && c > 0)) return deliver(keyNum, rank);
                if (c > 0) break;
            }
            return op == 5 ? 4 : 9;
        }
        case 6: {
            if (!cursor.Positioned || keyNum != cursor.Key) return 8;
            if (cursor.Rank + 1 >= file.Order[cursor.Key].size()) return 9;
            return deliver(cursor.Key, cursor.Rank + 1);
        }
        case 22: {
            if (!cursor.Positioned || *len < 4) return 8;
            uint32_t position = static_cast<uint32_t>(file.Order[cursor.Key][cursor.Rank] + 1);
            std::memcpy(data, &position, 4);
            *len = 4;
            return 0;
        }
        case 23: {
            if (!validKey() || *len < 4) return 6;
            uint32_t position = 0;
            std::memcpy(&position, data, 4);
            if (position == 0 || position > file.Records.size()) return 43;
            const auto& order = file.Order[keyNum];
            size_t rank = static_cast<size_t>(std::find(order.begin(), order.end(), position - 1) -
                                              order.begin());
            return deliver(keyNum, rank);
        }
        default:
            return 1;
    }
}

void BuildBtrieveFile(const std::string& btrutil, const std::string& fileName,
                      const std::string& descPath, const std::vector<std::string>& records) {
    std::string unformatted = fileName + ".unf";
    {
        std::ofstream out(unformatted, std::ios::binary);
        for (const std::string& record : records) out << record.size() << ',' << record << "\r\n";
        out << '\x1a';
        if (!out) throw std::runtime_error("cannot write " + unformatted);
    }
    std::remove(fileName.c_str());
    std::string create = "'" + btrutil + "' -create '" + fileName + "' '" + descPath + "'";
    if (std::system(create.c_str()) != 0) throw std::runtime_error("failed: " + create);
    std::string load = "'" + btrutil + "' -load '" + unformatted + "' '" + fileName + "'";
    if (std::system(load.c_str()) != 0) throw std::runtime_error("failed: " + load);
    std::remove(unformatted.c_str());
}
