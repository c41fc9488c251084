#include "tools/btrutil/commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>

#include "platform/codepage.h"
#include "recman/btrcall.h"
#include "recman/byte_order.h"
#include "recman/engine.h"
#include "recman/file_spec.h"
#include "recman/native_file.h"
#include "tools/btrutil/description.h"
#include "tools/btrutil/unformatted.h"

namespace btrutil {
namespace {

using recman::LoadU16;
using recman::LoadU32;

constexpr uint32_t kStatSize = 2185 + 2 * 265 * 4;
constexpr int kLoadBatch = 20000;

// A failure with its exit status and message.
struct Failure {
    int exitStatus;
    std::string message;
};

[[noreturn]] void Fail(const std::string& message) {
    throw Failure{1, message};
}

[[noreturn]] void FailStatus(int status, const std::string& what, const std::string& file) {
    std::string message = "status " + std::to_string(status) + " (" + StatusText(status) + ") on " +
                          what + " of " + file;
    // A vendor file the reader refused: its reason says what the status cannot.
    const std::string reason = recman::LastErrorDetail();
    if (what == "open" && !reason.empty()) message += ": " + reason;
    throw Failure{status, message};
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// File names reach the record manager as the system's text (CP1251).
std::string SystemName(const std::string& utf8) {
    bool ok = true;
    std::string name = Utf8ToAnsi(utf8, &ok);
    if (!ok) Fail("the file name " + utf8 + " has characters outside code page 1251");
    if (name.size() > 254) Fail("the file name " + utf8 + " is longer than 254 bytes");
    return name;
}

std::string ReadOwner(const std::string& option) {
    std::string owner = option.substr(2);
    if (owner == "*") {
        std::cerr << "Owner name: ";
        std::getline(std::cin, owner);
    }
    if (owner.size() > 8) Fail("the owner name " + owner + " is longer than 8 characters");
    return owner;
}

// One open file of the record manager.
class File {
  public:
    File(const std::string& utf8Name, const std::string& owner, int8_t mode = 0)
        : display_(utf8Name) {
        std::string name = SystemName(utf8Name);
        std::string ownerBuffer = owner;
        uint32_t length = static_cast<uint32_t>(ownerBuffer.size() + 1);
        int16_t st = recman::EngineCall(0, pos_, ownerBuffer.data(), &length, name.data(),
                                        static_cast<uint8_t>(name.size() + 1), mode);
        if (st != 0) FailStatus(st, "open", display_);
        open_ = true;
        std::memset(stat_, 0, sizeof stat_);
        uint32_t statLength = sizeof stat_;
        char scratch[255] = {};
        st = recman::EngineCall(15, pos_, stat_, &statLength, scratch, sizeof scratch, 0);
        if (st != 0) FailStatus(st, "stat", display_);
    }
    ~File() {
        if (open_) {
            uint32_t zero = 0;
            recman::EngineCall(1, pos_, nullptr, &zero, nullptr, 0, 0);
        }
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    int16_t Call(uint16_t op, void* data, uint32_t* length, int8_t key) {
        return recman::EngineCall(op, pos_, data, length, keyBuffer_, sizeof keyBuffer_, key);
    }
    int16_t Call(uint16_t op, void* data, uint32_t* length, void* keyBuffer, uint8_t keyLength,
                 int8_t key) {
        return recman::EngineCall(op, pos_, data, length, keyBuffer, keyLength, key);
    }
    const std::string& Name() const { return display_; }
    const uint8_t* Stat() const { return stat_; }
    uint16_t RecordLength() const { return LoadU16(stat_); }
    int KeyCount() const { return stat_[4]; }
    uint32_t Records() const { return LoadU32(stat_ + 6); }
    bool Variable() const { return LoadU16(stat_ + 10) & recman::kFileVariable; }
    // Reads the record the operation finds; grows the buffer for a long variable record and
    // reads it again by its position, on the key path read along or, after a Step, the
    // physical path (key -1), which a file without keys also has.
    int16_t Read(uint16_t op, int8_t key, std::string& buffer, uint32_t& length) {
        const bool step = op == 24 || op == 33 || op == 34 || op == 35;
        length = static_cast<uint32_t>(buffer.size());
        int16_t st = Call(op, buffer.data(), &length, key);
        while (st == 22 && Variable() && buffer.size() < (1u << 30)) {
            uint32_t four = 4;
            char position[4];
            if (Call(22, position, &four, 0) != 0) return st;
            buffer.resize(buffer.size() * 4);
            std::memcpy(buffer.data(), position, 4);
            length = static_cast<uint32_t>(buffer.size());
            st = Call(23, buffer.data(), &length, step ? -1 : key);
        }
        return st;
    }

  private:
    std::string display_;
    bool open_ = false;
    char pos_[kPositionBlockSize] = {};
    char keyBuffer_[255] = {};
    uint8_t stat_[kStatSize];
};

struct Transaction {
    bool active = false;
    void Begin() {
        uint32_t zero = 0;
        int16_t st = recman::EngineCall(1019, nullptr, nullptr, &zero, nullptr, 0, 0);
        if (st != 0) FailStatus(st, "begin transaction", "the load");
        active = true;
    }
    int16_t End() {
        uint32_t zero = 0;
        active = false;
        return recman::EngineCall(20, nullptr, nullptr, &zero, nullptr, 0, 0);
    }
    ~Transaction() {
        if (active) End();
    }
};

// Options after the positional arguments: owner names (/O or -O) in order.
struct Arguments {
    std::vector<std::string> positional;
    std::vector<std::string> owners;
};

Arguments Split(const std::vector<std::string>& args) {
    Arguments a;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& s = args[i];
        if (s.size() >= 2 && (s[0] == '/' || s[0] == '-') && (s[1] == 'o' || s[1] == 'O'))
            a.owners.push_back(ReadOwner(s));
        else
            a.positional.push_back(s);
    }
    return a;
}

std::string Owner(const Arguments& a, size_t n) {
    return n < a.owners.size() ? a.owners[n] : std::string();
}

void Need(const Arguments& a, size_t min, size_t max, const char* usage) {
    if (a.positional.size() < min || a.positional.size() > max)
        Fail(std::string("usage: btrutil ") + usage);
}

void CreateFile(const std::string& file, const std::string& spec, bool replace) {
    std::string name = SystemName(file);
    std::string data = spec;
    uint32_t length = static_cast<uint32_t>(data.size());
    char pos[kPositionBlockSize] = {};
    int16_t st = recman::EngineCall(14, pos, data.data(), &length, name.data(),
                                    static_cast<uint8_t>(name.size() + 1), replace ? 0 : -1);
    if (st != 0) FailStatus(st, "create", file);
}

// An existing file is replaced only when Y asks for it and only when it is one of the
// embedded record manager's own files: a file of another engine is never overwritten.
void CheckReplace(const std::string& file, bool replace) {
    struct stat st;
    if (::stat(file.c_str(), &st) != 0) return;
    if (!replace)
        throw Failure{59, "status 59 (file already exists) on create of " + file +
                              "; Y after the description file replaces it"};
    if (S_ISREG(st.st_mode) && !recman::NativeFile::LooksOurs(file))
        throw Failure{59, "status 59 (file already exists) on create of " + file +
                              ": it is not a file of this record manager and is not replaced"};
}

int Create(const Arguments& a, std::ostream& out) {
    Need(a, 2, 3, "-create FILE DESCRIPTION [Y|N]");
    bool replace = false;
    if (a.positional.size() == 3) {
        std::string yn = Lower(a.positional[2]);
        if (yn != "y" && yn != "n") Fail("the replace argument must be Y or N");
        replace = yn == "y";
    }
    const std::string& descPath = a.positional[1];
    std::ifstream in(descPath, std::ios::binary);
    if (!in) Fail("cannot read the description file " + descPath);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string directory =
        descPath.find('/') == std::string::npos ? "." : descPath.substr(0, descPath.rfind('/'));
    std::string spec;
    try {
        spec = ParseDescription(text, directory);
    } catch (const DescriptionError& e) {
        Fail("description file " + descPath + ": " + e.what());
    }
    CheckReplace(a.positional[0], replace);
    CreateFile(a.positional[0], spec, replace);
    out << "The file " << a.positional[0] << " was created.\n";
    return 0;
}

int Load(const Arguments& a, std::ostream& out) {
    Need(a, 2, 2, "-load UNFORMATTED FILE [/O<owner>]");
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(a.positional[0].c_str(), "rb"),
                                                       &std::fclose);
    if (!in) Fail("cannot read the unformatted file " + a.positional[0]);
    File file(a.positional[1], Owner(a, 0));
    UnformattedReader reader(in.get());
    std::string record;
    uint64_t inserted = 0;
    Transaction tx;
    try {
        while (reader.Next(record)) {
            if (!tx.active) tx.Begin();
            uint32_t length = static_cast<uint32_t>(record.size());
            int16_t st = file.Call(2, record.data(), &length, -1);
            if (st != 0) {
                // What went in before the failing record stays.
                tx.End();
                throw Failure{st, "status " + std::to_string(st) + " (" + StatusText(st) +
                                      ") on insert of record " + std::to_string(inserted + 1) +
                                      " into " + file.Name() + "; " + std::to_string(inserted) +
                                      " records were inserted"};
            }
            ++inserted;
            if (inserted % kLoadBatch == 0) {
                int16_t end = tx.End();
                if (end != 0) FailStatus(end, "end transaction", file.Name());
            }
        }
    } catch (const UnformattedError& e) {
        if (tx.active) tx.End();
        Fail("unformatted file " + a.positional[0] + ": " + e.what() + "; " +
             std::to_string(inserted) + " records were inserted");
    }
    if (tx.active) {
        int16_t end = tx.End();
        if (end != 0) FailStatus(end, "end transaction", file.Name());
    }
    out << inserted << " records were inserted into " << file.Name() << ".\n";
    return 0;
}

int Save(const Arguments& a, std::ostream& out) {
    Need(a, 2, 4, "-save FILE UNFORMATTED [N KEY] [/O<owner>]");
    int key = -1;  // physical order: every record, whatever its keys leave out
    if (a.positional.size() >= 3) {
        std::string mode = Lower(a.positional[2]);
        if (mode == "y") Fail("saving through an external index file is not supported");
        if (mode != "n" || a.positional.size() != 4)
            Fail("usage: btrutil -save FILE UNFORMATTED [N KEY]");
        const std::string& k = a.positional[3];
        if (k.empty() || k.size() > 3 || k.find_first_not_of("0123456789") != std::string::npos)
            Fail("the key number " + k + " is not a number");
        key = std::stoi(k);
    }
    File file(a.positional[0], Owner(a, 0), -2);
    const bool physical = key < 0;
    if (!physical && key >= file.KeyCount()) FailStatus(6, "save", file.Name());
    const std::string& target = a.positional[1];
    std::string temp = target + ".part" + std::to_string(::getpid());
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> o(std::fopen(temp.c_str(), "wb"), &std::fclose);
    if (!o) Fail("cannot write the unformatted file " + target);
    std::string buffer(std::max<size_t>(file.RecordLength(), 65536), '\0');
    std::string chunk;
    uint64_t saved = 0;
    uint32_t length = 0;
    int16_t st = physical ? file.Read(33, 0, buffer, length)
                          : file.Read(12, static_cast<int8_t>(key), buffer, length);
    while (st == 0) {
        chunk.clear();
        AppendUnformatted(chunk, buffer.data(), length);
        if (std::fwrite(chunk.data(), 1, chunk.size(), o.get()) != chunk.size()) break;
        ++saved;
        st = physical ? file.Read(24, 0, buffer, length)
                      : file.Read(6, static_cast<int8_t>(key), buffer, length);
    }
    bool written =
        st == 9 && std::fputc(kUnformattedEnd, o.get()) != EOF && std::fflush(o.get()) == 0;
    o.reset();
    if (!written) {
        std::remove(temp.c_str());
        if (st != 9) FailStatus(st, "read", file.Name());
        Fail("cannot write the unformatted file " + target);
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        std::remove(temp.c_str());
        Fail("cannot write the unformatted file " + target);
    }
    out << saved << " records were saved from " << file.Name() << ".\n";
    return 0;
}

const char* TypeName(uint8_t type) {
    static const std::map<int, const char*> names = {
        {0, "String"},
        {1, "Integer"},
        {2, "Float"},
        {3, "Date"},
        {4, "Time"},
        {5, "Decimal"},
        {6, "Money"},
        {7, "Logical"},
        {8, "Numeric"},
        {9, "BFloat"},
        {10, "LString"},
        {11, "ZString"},
        {14, "Unsigned Binary"},
        {15, "AutoIncrement"},
        {17, "NumericSTS"},
        {18, "NumericSA"},
        {19, "Currency"},
        {20, "Timestamp"},
        {255, "Null Indicator"},
    };
    auto it = names.find(type);
    return it == names.end() ? "Unknown" : it->second;
}

std::string FlagLetters(uint16_t flags) {
    std::string s;
    if (flags & recman::kKeyDuplicates) s += (flags & recman::kKeyRepeatDup) ? "R" : "D";
    if (flags & recman::kKeyModifiable) s += "M";
    if (flags & recman::kKeyNullAll) s += "L";
    if (flags & recman::kKeyNullAny) s += "A";
    if (flags & recman::kKeyDescending) s += "<";
    if ((flags & recman::kKeyCaseInsensitive) && !(flags & recman::kKeyAcs)) s += "I";
    return s.empty() ? "--" : s;
}

int Stat(const Arguments& a, std::ostream& out) {
    Need(a, 1, 1, "-stat FILE [/O<owner>]");
    File file(a.positional[0], Owner(a, 0), -2);
    const uint8_t* st = file.Stat();
    int segments = 0;
    for (int k = 0; k < file.KeyCount(); ++k)
        while (LoadU16(st + 16 + 16 * segments++ + 4) & recman::kKeySegmented) {
        }
    uint16_t flags = LoadU16(st + 10);
    auto yes = [](bool b) { return b ? "Yes" : "No"; };
    out << "File Statistics for " << a.positional[0] << "\n\n"
        << "Page Size = " << LoadU16(st + 2) << "\n"
        << "Key Only = No\n"
        << "Total Number of Records = " << file.Records() << "\n"
        << "Record Length = " << file.RecordLength() << "\n"
        << "Record Compression = " << yes(flags & 0x0008) << "\n"
        << "Variable Records = " << yes(flags & recman::kFileVariable) << "\n"
        << "Blank Truncation = " << yes(flags & 0x0002) << "\n"
        << "Total Number of Keys = " << file.KeyCount() << "\n"
        << "Total Number of Segments = " << segments << "\n\n"
        << "Key Segment Position Length Type            Flags Null Unique     ACS\n";
    int s = 0;
    for (int k = 0; k < file.KeyCount(); ++k) {
        for (int part = 1;; ++part, ++s) {
            const uint8_t* seg = st + 16 + 16 * s;
            uint16_t f = LoadU16(seg + 4);
            uint8_t type = (f & recman::kKeyExtended) ? seg[10]
                           : (f & recman::kKeyBinary) ? uint8_t{14}
                                                      : uint8_t{0};
            std::ostringstream nul;
            if (f & (recman::kKeyNullAll | recman::kKeyNullAny))
                nul << std::hex << std::uppercase << std::setw(2) << std::setfill('0')
                    << int(seg[11]);
            else
                nul << "--";
            out << std::left << std::setw(4) << k << std::setw(8) << part << std::setw(9)
                << LoadU16(seg) << std::setw(7) << LoadU16(seg + 2) << std::setw(16)
                << TypeName(type) << std::setw(6) << FlagLetters(f) << std::setw(5) << nul.str()
                << std::setw(11) << LoadU32(seg + 6)
                << ((f & recman::kKeyAcs) ? std::to_string(seg[15]) : std::string("--")) << "\n";
            if (!(f & recman::kKeySegmented)) {
                ++s;
                break;
            }
        }
    }
    out << "\nLegend: D = Duplicates, R = Repeating Duplicates, M = Modifiable,\n"
           "L = Null Key (All Segments), A = Null Key (Any Segment), < = Descending,\n"
           "I = Case Insensitive; Null values are hexadecimal.\n";
    return 0;
}

int SetOwner(const Arguments& a, std::ostream& out) {
    Need(a, 2, 2, "-setowner FILE /O<owner> LEVEL");
    if (a.owners.size() != 1 || a.owners[0].empty())
        Fail("-setowner needs one owner name (/O<owner>)");
    const std::string& level = a.positional[1];
    if (level.size() != 1 || level[0] < '0' || level[0] > '3')
        Fail("the owner level must be 0, 1, 2 or 3");
    File file(a.positional[0], "");
    std::string name = a.owners[0];
    std::string again = name;
    uint32_t length = static_cast<uint32_t>(name.size() + 1);
    int16_t st =
        file.Call(29, name.data(), &length, again.data(), static_cast<uint8_t>(again.size() + 1),
                  static_cast<int8_t>(level[0] - '0'));
    if (st != 0) FailStatus(st, "set owner", file.Name());
    out << "The owner name of " << file.Name() << " was set.\n";
    return 0;
}

int ClearOwner(const Arguments& a, std::ostream& out) {
    Need(a, 1, 1, "-clrowner FILE /O<owner>");
    File file(a.positional[0], Owner(a, 0));
    uint32_t zero = 0;
    int16_t st = file.Call(30, nullptr, &zero, 0);
    if (st != 0) FailStatus(st, "clear owner", file.Name());
    out << "The owner name of " << file.Name() << " was cleared.\n";
    return 0;
}

int Copy(const Arguments& a, std::ostream& out) {
    Need(a, 2, 2, "-copy SOURCE OUTPUT [/O<owner1> [/O<owner2>]]");
    File source(a.positional[0], Owner(a, 0), -2);
    File target(a.positional[1], Owner(a, 1));
    std::string buffer(std::max<size_t>(source.RecordLength(), 65536), '\0');
    uint64_t inserted = 0;
    uint32_t length = 0;
    Transaction tx;
    int16_t st = source.Read(33, 0, buffer, length);
    while (st == 0) {
        if (!tx.active) tx.Begin();
        int16_t put = target.Call(2, buffer.data(), &length, -1);
        if (put != 0) {
            tx.End();
            throw Failure{put, "status " + std::to_string(put) + " (" + StatusText(put) +
                                   ") on insert into " + target.Name() + "; " +
                                   std::to_string(inserted) + " records were inserted"};
        }
        if (++inserted % kLoadBatch == 0) {
            int16_t end = tx.End();
            if (end != 0) FailStatus(end, "end transaction", target.Name());
        }
        st = source.Read(24, 0, buffer, length);
    }
    if (tx.active) {
        int16_t end = tx.End();
        if (end != 0) FailStatus(end, "end transaction", target.Name());
    }
    if (st != 9) FailStatus(st, "read", source.Name());
    out << inserted << " records were inserted into " << target.Name() << ".\n";
    return 0;
}

int Clone(const Arguments& a, std::ostream& out) {
    Need(a, 2, 2, "-clone OUTPUT SOURCE [/O<owner>]");
    File source(a.positional[1], Owner(a, 0), -2);
    const uint8_t* st = source.Stat();
    // The Create buffer is the Stat buffer without what Stat alone reports.
    std::string spec(reinterpret_cast<const char*>(st), recman::kSpecSize);
    spec[4] = static_cast<char>(st[4]);
    spec[5] = 0;
    for (int i = 6; i < 10; ++i) spec[i] = 0;
    for (int i = 12; i < 16; ++i) spec[i] = 0;
    int segments = 0;
    bool acs = false;
    int acsCount = 0;
    for (int k = 0; k < source.KeyCount(); ++k) {
        for (;;) {
            const uint8_t* seg = st + 16 + 16 * segments++;
            std::string s(reinterpret_cast<const char*>(seg), recman::kSpecSize);
            for (int i = 6; i < 10; ++i) s[i] = 0;
            spec += s;
            uint16_t f = LoadU16(seg + 4);
            if (f & recman::kKeyAcs) {
                acs = true;
                int n = (f & recman::kKeyCaseInsensitive) ? seg[15] + 1 : 1;
                acsCount = std::max(acsCount, n);
            }
            if (!(f & recman::kKeySegmented)) break;
        }
    }
    if (acs)
        spec.append(reinterpret_cast<const char*>(st + 16 + 16 * segments),
                    static_cast<size_t>(recman::kAcsSize) * acsCount);
    CreateFile(a.positional[0], spec, false);
    out << "The file " << a.positional[0] << " was created like " << source.Name() << ".\n";
    return 0;
}

int Ver(const Arguments& a, std::ostream& out) {
    Need(a, 0, 0, "-ver");
    out << "btrutil " << QUORVATH_VERSION << "\nEngine: " << recman::EngineDescription() << "\n";
    return 0;
}

// Takes "-engine LIBRARY" out of the arguments; answers the library, or "" when not given.
std::string TakeEngine(std::vector<std::string>& args) {
    std::string library;
    for (size_t i = 0; i < args.size();) {
        if (Lower(args[i]) == "-engine" || Lower(args[i]) == "/engine") {
            if (i + 1 == args.size()) Fail("usage: btrutil -engine LIBRARY -command arguments");
            library = args[i + 1];
            args.erase(args.begin() + static_cast<ptrdiff_t>(i),
                       args.begin() + static_cast<ptrdiff_t>(i) + 2);
        } else {
            ++i;
        }
    }
    return library;
}

}  // namespace

std::string StatusText(int status) {
    static const std::map<int, const char*> texts = {
        {1, "invalid operation"},
        {2, "I/O error"},
        {3, "file not open"},
        {4, "key value not found"},
        {5, "duplicate key value"},
        {6, "invalid key number"},
        {7, "different key number"},
        {8, "invalid positioning"},
        {9, "end of file"},
        {10, "key field not modifiable"},
        {11, "invalid file name"},
        {12, "file not found"},
        {18, "disk full"},
        {20, "record manager inactive"},
        {21, "key buffer too short"},
        {22, "data buffer length"},
        {24, "page size error"},
        {25, "create I/O error"},
        {26, "invalid number of keys"},
        {27, "invalid key position"},
        {28, "invalid record length"},
        {29, "invalid key length"},
        {30, "not a Btrieve file"},
        {37, "transaction already active"},
        {39, "no transaction active"},
        {41, "operation not allowed"},
        {43, "invalid record address"},
        {44, "null key path"},
        {45, "inconsistent key flags"},
        {46, "access to file denied"},
        {48, "invalid alternate collating sequence"},
        {49, "key type error"},
        {50, "owner already set"},
        {51, "invalid owner name"},
        {59, "file already exists"},
        {62, "invalid descriptor"},
        {80, "record changed by another user"},
        {81, "lock error"},
        {84, "record in use"},
        {85, "file in use"},
        {88, "incompatible open mode"},
        {93, "incompatible lock type"},
        {103, "chunk offset too long"},
    };
    auto it = texts.find(status);
    return it == texts.end() ? "Btrieve error" : it->second;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    static const char* kUsage =
        "usage: btrutil -command arguments\n"
        "  -create FILE DESCRIPTION [Y|N]  (Y replaces a file of this record manager)\n"
        "  -load UNFORMATTED FILE [/O<owner>]\n"
        "  -save FILE UNFORMATTED [N KEY] [/O<owner>]  (physical order unless N KEY)\n"
        "  -stat FILE [/O<owner>]\n"
        "  -setowner FILE /O<owner> LEVEL\n"
        "  -clrowner FILE /O<owner>\n"
        "  -copy SOURCE OUTPUT [/O<owner1> [/O<owner2>]]\n"
        "  -clone OUTPUT SOURCE [/O<owner>]\n"
        "  -ver\n"
        "Before the command, -engine LIBRARY chooses the Btrieve engine: a client library's\n"
        "path, auto or embedded (default: QUORVATH_BTRIEVE_LIBRARY, else embedded).\n";
    std::vector<std::string> rest = args;
    try {
        const std::string engine = TakeEngine(rest);
        if (rest.empty()) {
            err << kUsage;
            return 1;
        }
        // A library that cannot serve stops the tool before any file is touched.
        try {
            recman::UseEngine(recman::EngineChoice(engine));
        } catch (const std::exception& e) {
            Fail(AnsiToUtf8(e.what()));
        }
        std::string command = Lower(rest[0]);
        if (!command.empty() && (command[0] == '-' || command[0] == '/'))
            command = command.substr(1);
        Arguments a = Split(rest);
        if (command == "create") return Create(a, out);
        if (command == "load") return Load(a, out);
        if (command == "save") return Save(a, out);
        if (command == "stat") return Stat(a, out);
        if (command == "setowner") return SetOwner(a, out);
        if (command == "clrowner") return ClearOwner(a, out);
        if (command == "copy") return Copy(a, out);
        if (command == "clone") return Clone(a, out);
        if (command == "ver") return Ver(a, out);
        err << "btrutil: unknown command " << rest[0] << "\n" << kUsage;
        return 1;
    } catch (const Failure& f) {
        err << "btrutil: " << f.message << "\n";
        return f.exitStatus & 0xFF ? f.exitStatus & 0xFF : 1;
    }
}

}  // namespace btrutil
