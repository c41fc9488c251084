#include "tools/btrutil/description.h"

#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <vector>

#include "recman/byte_order.h"
#include "recman/file_spec.h"

namespace btrutil {
namespace {

using namespace recman;

struct Element {
    std::string name;   // lower case
    std::string value;  // as written
    int line = 0;
};

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

[[noreturn]] void Fail(const Element& e, const std::string& what) {
    throw DescriptionError("line " + std::to_string(e.line) + ", element '" + e.name + "=" +
                           e.value + "': " + what);
}

// Splits the text into keyword=value elements. A word without '=' continues the value before
// it, so "type=unsigned binary" is one element.
std::vector<Element> Tokenize(const std::string& text) {
    std::vector<Element> out;
    size_t i = 0;
    int line = 1;
    auto skipBlank = [&] {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
            if (text[i] == '\n') ++line;
            ++i;
        }
    };
    skipBlank();
    if (text.compare(i, 2, "/*") == 0) {
        size_t end = text.find("*/", i + 2);
        if (end == std::string::npos)
            throw DescriptionError("line " + std::to_string(line) +
                                   ": the comment block is not closed");
        for (size_t j = i; j < end; ++j)
            if (text[j] == '\n') ++line;
        i = end + 2;
    }
    for (;;) {
        skipBlank();
        if (i >= text.size()) break;
        size_t start = i;
        while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        std::string word = text.substr(start, i - start);
        size_t eq = word.find('=');
        if (eq == std::string::npos) {
            if (out.empty())
                throw DescriptionError("line " + std::to_string(line) + ", element '" + word +
                                       "': expected keyword=value");
            out.back().value += " " + word;
            continue;
        }
        out.push_back({Lower(word.substr(0, eq)), word.substr(eq + 1), line});
    }
    return out;
}

class Reader {
  public:
    explicit Reader(std::vector<Element> elements) : e_(std::move(elements)) {}
    bool AtEnd() const { return pos_ >= e_.size(); }
    const Element* Peek() const { return AtEnd() ? nullptr : &e_[pos_]; }
    bool PeekIs(const char* name) const { return !AtEnd() && e_[pos_].name == name; }
    const Element& Take() { return e_[pos_++]; }
    const Element& Expect(const char* name) {
        if (AtEnd()) {
            Element last = e_.empty() ? Element{} : e_.back();
            throw DescriptionError("line " + std::to_string(last.line) + ": element '" + name +
                                   "=' is missing at the end of the file");
        }
        const Element& e = Take();
        if (e.name != name) Fail(e, std::string("expected '") + name + "=' here");
        return e;
    }
    const Element* Optional(const char* name) { return PeekIs(name) ? &Take() : nullptr; }

  private:
    std::vector<Element> e_;
    size_t pos_ = 0;
};

long Number(const Element& e, long min, long max) {
    const std::string& v = e.value;
    if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos)
        Fail(e, "not a number");
    long n = 0;
    for (char c : v) {
        n = n * 10 + (c - '0');
        if (n > max) break;
    }
    if (n < min || n > max)
        Fail(e, "must be from " + std::to_string(min) + " to " + std::to_string(max));
    return n;
}

bool YesNo(const Element& e) {
    std::string v = Lower(e.value);
    if (v == "y" || v == "yes") return true;
    if (v == "n" || v == "no") return false;
    Fail(e, "must be y or n");
}

uint8_t KeyTypeCode(const Element& e) {
    static const std::map<std::string, uint8_t> full = {
        {"string", kString},
        {"integer", kInteger},
        {"float", kFloat},
        {"date", kDate},
        {"time", kTime},
        {"decimal", kDecimal},
        {"money", kMoney},
        {"logical", kLogical},
        {"numeric", kNumeric},
        {"bfloat", kBfloat},
        {"lstring", kLstring},
        {"zstring", kZstring},
        {"unsigned binary", kUnsignedBinary},
        {"unsigned", kUnsignedBinary},
        {"autoincrement", kAutoincrement},
        {"numericsts", kNumericSts},
        {"numericsa", kNumericSa},
        {"currency", kCurrency},
        {"timestamp", kTimestamp},
    };
    // Otherwise a beginning of a full name, of three letters at least ("flo", "unsigned").
    std::string v = Lower(e.value);
    if (auto it = full.find(v); it != full.end()) return it->second;
    if (v.size() >= 3) {
        for (const auto& [name, code] : full)
            if (name.compare(0, v.size(), v) == 0) return code;
    }
    Fail(e, "unknown key type");
}

uint8_t Hex(const Element& e) {
    std::string v = e.value;
    if (v.size() > 2 && (v[0] == '0') && (v[1] == 'x' || v[1] == 'X')) v = v.substr(2);
    if (v.empty() || v.size() > 2 ||
        v.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        Fail(e, "must be a hexadecimal byte");
    return static_cast<uint8_t>(std::stoul(v, nullptr, 16));
}

}  // namespace

std::string ParseDescription(const std::string& text, const std::string& directory) {
    Reader in(Tokenize(text));
    if (in.AtEnd()) throw DescriptionError("line 1: the description is empty");

    uint8_t fileSpec[kSpecSize] = {};
    const Element& record = in.Expect("record");
    uint16_t recordLength = static_cast<uint16_t>(Number(record, 4, 65535));
    uint16_t fileFlags = 0;
    uint16_t pageSize = 4096;
    bool sawKey = false;
    long keyCount = 0;
    bool useKeyNumbers = false;
    // File elements up to and including page=, in the order they are written.
    while (!in.AtEnd()) {
        const Element& e = *in.Peek();
        if (e.name == "position" || e.name == "keynum") break;
        in.Take();
        if (e.name == "variable") {
            if (YesNo(e)) fileFlags |= kFileVariable;
        } else if (e.name == "truncate") {
            if (YesNo(e)) fileFlags |= 0x0002;
        } else if (e.name == "compress") {
            if (YesNo(e)) fileFlags |= 0x0008;
        } else if (e.name == "key") {
            keyCount = Number(e, 0, kMaxSegments);
            sawKey = true;
        } else if (e.name == "page") {
            pageSize = static_cast<uint16_t>(Number(e, 512, 16384));
            if (pageSize % 512) Fail(e, "must be a multiple of 512");
        } else if (e.name == "usekeynum") {
            useKeyNumbers = YesNo(e);
            if (useKeyNumbers) fileFlags |= kFileKeyNumbersGiven;
        } else if (e.name == "dupkey" || e.name == "allocation" || e.name == "replace" ||
                   e.name == "data" || e.name == "fthreshold" || e.name == "huge" ||
                   e.name == "vats" || e.name == "balance" || e.name == "sysdataonrecord" ||
                   e.name == "pagecompress") {
            // Storage tuning of the vendor's page format; nothing to do in ours.
        } else {
            Fail(e, "unknown or misplaced element");
        }
    }
    if (!sawKey)
        throw DescriptionError("line " + std::to_string(record.line) +
                               ": element 'key=' is missing");
    StoreU16(fileSpec, recordLength);
    StoreU16(fileSpec + 2, pageSize);
    StoreU16(fileSpec + 4, static_cast<uint16_t>(keyCount));
    StoreU16(fileSpec + 10, fileFlags);
    std::string out(reinterpret_cast<const char*>(fileSpec), kSpecSize);

    bool anyAcs = false;
    int segments = 0;
    for (long k = 0; k < keyCount; ++k) {
        uint8_t keyNumber = static_cast<uint8_t>(k);
        for (bool more = true; more;) {
            uint8_t spec[kSpecSize] = {};
            if (useKeyNumbers) {
                keyNumber = static_cast<uint8_t>(Number(in.Expect("keynum"), 0, kMaxSegments - 1));
            } else if (const Element* kn = in.Optional("keynum")) {
                Fail(*kn, "keynum= needs usekeynum=y");
            }
            const Element& pos = in.Expect("position");
            uint16_t position = static_cast<uint16_t>(Number(pos, 1, recordLength));
            const Element& len = in.Expect("length");
            uint16_t length = static_cast<uint16_t>(Number(len, 1, 255));
            if (position + length - 1 > recordLength)
                Fail(len, "the segment ends beyond the record length");
            uint16_t flags = kKeyExtended;
            if (YesNo(in.Expect("duplicates"))) flags |= kKeyDuplicates;
            if (YesNo(in.Expect("modifiable"))) flags |= kKeyModifiable;
            uint8_t type = KeyTypeCode(in.Expect("type"));
            uint8_t nullValue = 0;
            bool needValue = false;
            const Element* nullElement = nullptr;
            while (!in.AtEnd() && !in.PeekIs("segment")) {
                const Element& e = in.Take();
                if (e.name == "descending") {
                    if (YesNo(e)) flags |= kKeyDescending;
                } else if (e.name == "alternate") {
                    if (YesNo(e)) {
                        flags |= kKeyAcs;
                        anyAcs = true;
                    }
                } else if (e.name == "caseinsensitive") {
                    if (YesNo(e)) flags |= kKeyCaseInsensitive;
                } else if (e.name == "repeatdup") {
                    if (YesNo(e)) flags |= kKeyRepeatDup;
                } else if (e.name == "nullkey") {
                    std::string v = Lower(e.value);
                    if (v == "allsegs") {
                        flags |= kKeyNullAll;
                        needValue = true;
                    } else if (v == "anyseg") {
                        flags |= kKeyNullAny;
                        needValue = true;
                    } else if (v != "n" && v != "no") {
                        Fail(e, "must be allsegs, anyseg or n");
                    }
                    nullElement = &e;
                } else if (e.name == "null") {
                    if (YesNo(e)) {
                        flags |= kKeyNullAll;
                        needValue = true;
                    }
                    nullElement = &e;
                } else if (e.name == "manual") {
                    if (YesNo(e)) {
                        flags = static_cast<uint16_t>((flags & ~kKeyNullAll) | kKeyNullAny);
                        needValue = true;
                    }
                } else if (e.name == "value") {
                    nullValue = Hex(e);
                    needValue = false;
                } else {
                    Fail(e, "unknown or misplaced element");
                }
            }
            if (needValue && nullElement) Fail(*nullElement, "a null key needs value=");
            more = YesNo(in.Expect("segment"));
            if (more) flags |= kKeySegmented;
            if (++segments > kMaxSegments)
                throw DescriptionError("line " + std::to_string(pos.line) +
                                       ": more than 119 segments");
            StoreU16(spec, position);
            StoreU16(spec + 2, length);
            StoreU16(spec + 4, flags);
            spec[10] = type;
            spec[11] = nullValue;
            spec[14] = keyNumber;
            out.append(reinterpret_cast<const char*>(spec), kSpecSize);
        }
    }
    if (anyAcs || !in.AtEnd()) {
        const Element& e = anyAcs ? in.Expect("name") : in.Take();
        if (e.name == "countryid" || e.name == "isr")
            Fail(e, "only an alternate collating sequence file (name=) is supported");
        if (e.name != "name") Fail(e, "unknown or misplaced element");
        std::string path = e.value;
        if (!path.empty() && path[0] != '/') path = directory + "/" + path;
        std::ifstream acs(path, std::ios::binary);
        if (!acs) Fail(e, "cannot open the collating sequence file");
        std::string block((std::istreambuf_iterator<char>(acs)), std::istreambuf_iterator<char>());
        if (block.size() != kAcsSize || static_cast<uint8_t>(block[0]) != 0xAC)
            Fail(e, "not a 265-byte collating sequence file");
        out += block;
        if (!in.AtEnd()) Fail(in.Take(), "unexpected element after the collating sequence");
    }
    return out;
}

}  // namespace btrutil
