#include "recman/real/real_layout.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "recman/btrieve_codes.h"
#include "recman/real/bytes.h"
#include "recman/real/real_error.h"

namespace recman::real {

namespace {

constexpr uint32_t kSpecSize = 30;
constexpr uint32_t kSpecSize8 = 36;
constexpr uint16_t kFileSystemData8 = 0x0200;
constexpr uint16_t kFileNoSystemData8 = 0x1000;
constexpr uint32_t kMaxSegments = 119;

[[noreturn]] void NotVendorFile(const std::string& why) {
    throw ERealFile(kNotBtrieveFile, "Not a Btrieve file: " + why);
}

[[noreturn]] void NotDataFile(const std::string& why) {
    throw ERealFile(kNotBtrieveFile, "Not a data file: " + why);
}

[[noreturn]] void Unsupported(int16_t status, const std::string& what) {
    throw ERealFile(status, "Not supported: " + what);
}

bool IsPreImageName(const std::string& path) {
    if (path.size() < 4) return false;
    std::string extension = path.substr(path.size() - 4);
    for (char& c : extension) c = char(std::toupper(static_cast<unsigned char>(c)));
    return extension == ".PRE";
}

std::string Hex16(uint16_t v) {
    static const char* digits = "0123456789ABCDEF";
    std::string s = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) s += digits[(v >> shift) & 0xF];
    return s;
}

// Picks the current FCR of a 6.x or 8.x file: of the two "FC" copies (copySize bytes each,
// one after the other) the one with the higher usage count.
std::vector<uint8_t> CurrentFcr(TPageFile& file, uint32_t copySize) {
    std::vector<uint8_t> best;
    uint32_t bestUsage = 0;
    for (uint32_t copyNumber = 0; copyNumber < 2; ++copyNumber) {
        if (uint64_t(copyNumber + 1) * copySize > file.Size()) Damaged("the file is truncated");
        std::vector<uint8_t> copy(copySize);
        file.ReadAt(uint64_t(copyNumber) * copySize, copySize, copy.data());
        if (copy[0] != 'F' || copy[1] != 'C' || copy[2] != 0 || copy[3] != 0) continue;
        const uint32_t usage = Le32(copy.data() + 4);
        if (best.empty() || usage > bestUsage) {
            best = std::move(copy);
            bestUsage = usage;
        }
    }
    return best;
}

// The kind of an 8.x page (a 16-bit word, 0x8000 + k for an index page of key k) in the
// one-byte form the reader keeps.
uint8_t PageKind8(uint16_t type, uint32_t logical) {
    if (type & 0x8000) {
        if ((type & 0x7FFF) >= 0x80)
            Damaged("logical page " + std::to_string(logical) + " is of an unknown kind");
        return uint8_t(0x80 + (type & 0x7F));
    }
    if (type >= 0x80) Damaged("logical page " + std::to_string(logical) + " is of an unknown kind");
    return uint8_t(type);
}

// 8.x: page allocation table groups at fixed places, each in two copies of a control
// record's size; 6-byte entries (physical page, kind) from 0x14.
void ReadPat8(TPageFile& file, TRealLayout& layout) {
    const uint32_t p = layout.pageSize;
    const uint32_t copyPages = layout.controlSize / p;
    const uint32_t spacing = p <= 1024 ? 320 : p == 2048 ? 640 : 1280;
    const uint32_t perGroup = spacing - 2 * copyPages;
    const uint64_t firstTable = 4ull * copyPages;
    const uint64_t firstPage = firstTable + 2 * copyPages;
    if (firstTable + copyPages > file.PageCount()) Damaged("the file is truncated");
    std::vector<uint8_t> copy(layout.controlSize), chosen(layout.controlSize);
    layout.physical.assign(1, kNoPointer);
    layout.pageType.assign(1, 0);
    for (uint32_t group = 0;; ++group) {
        const uint64_t at = firstTable + uint64_t(group) * spacing;
        if (at >= file.PageCount()) break;
        bool found = false;
        uint32_t bestUsage = 0;
        for (uint32_t c = 0; c < 2; ++c) {
            const uint64_t page = at + uint64_t(c) * copyPages;
            if (page + copyPages > file.PageCount()) continue;
            file.ReadAt(page * p, layout.controlSize, copy.data());
            const uint32_t number = copy[0] | (copy[1] << 8) | (uint32_t(copy[2]) << 16);
            if (copy[3] != 'P' || copy[4] != 'P' || number != group + 1) continue;
            const uint32_t usage = Le16(copy.data() + 6);
            if (!found || usage > bestUsage) {
                chosen.swap(copy);
                found = true;
                bestUsage = usage;
            }
        }
        if (!found) {
            if (p == 4096 && group > 0)
                Unsupported(kOperationNotAllowed,
                            "8.x files of 4096-byte pages with more than one page allocation "
                            "table");
            Damaged("page allocation table " + std::to_string(group) + " is missing");
        }
        for (uint32_t i = 0; i < perGroup; ++i) {
            const uint64_t logical = uint64_t(group) * perGroup + i + 1;
            if (logical >= 0xFFFFFFFFull) Damaged("the page count is out of range");
            const uint8_t* entry = chosen.data() + 0x14 + 6 * i;
            const uint16_t type = Le16(entry + 4);
            const uint32_t phys = Le32(entry);
            if (type == 0 || phys == kNoPointer || phys == 0xFFFFFFFEu) {
                layout.physical.push_back(kNoPointer);
                layout.pageType.push_back(0);
                continue;
            }
            if (phys < firstPage || phys >= file.PageCount())
                Damaged("logical page " + std::to_string(logical) + " maps past the end");
            layout.physical.push_back(phys);
            layout.pageType.push_back(PageKind8(type, uint32_t(logical)));
        }
    }
    layout.pageCount = uint32_t(layout.physical.size() - 1);
}

void ReadPat(TPageFile& file, TRealLayout& layout) {
    const uint32_t p = layout.pageSize;
    const uint32_t perPage = p / 4 - 2;
    layout.physical.assign(size_t(layout.pageCount) + 1, kNoPointer);
    layout.pageType.assign(size_t(layout.pageCount) + 1, 0);
    for (uint32_t group = 0; uint64_t(group) * perPage < layout.pageCount; ++group) {
        const uint64_t first = 2 + uint64_t(group) * (p / 4);
        const uint8_t* chosen = nullptr;
        std::vector<uint8_t> copies[2];
        uint32_t bestUsage = 0;
        for (int c = 0; c < 2; ++c) {
            const uint64_t page = first + c;
            if (page >= file.PageCount()) Damaged("the page allocation table lies past the end");
            copies[c].resize(p);
            file.ReadAt(page * p, p, copies[c].data());
            const uint8_t* bytes = copies[c].data();
            if (bytes[0] != 'P' || bytes[1] != 'P') continue;
            const uint32_t usage = Le32(bytes + 4);
            if (!chosen || usage > bestUsage) {
                chosen = bytes;
                bestUsage = usage;
            }
        }
        if (!chosen) {
            if (group >= 30)
                Unsupported(kOperationNotAllowed,
                            "page allocation tables beyond the 30th group at shifted places");
            Damaged("page allocation table " + std::to_string(group) + " is missing");
        }
        for (uint32_t i = 0; i < perPage; ++i) {
            const uint64_t logical = uint64_t(group) * perPage + i + 1;
            if (logical > layout.pageCount) break;
            const uint8_t* entry = chosen + 8 + 4 * i;
            const uint8_t type = entry[1];
            if (type == 0) continue;
            const uint32_t phys = PageRefNumber(entry);
            if (phys == 0xFFFFFFu) continue;
            if (phys < 2 || phys >= file.PageCount())
                Damaged("logical page " + std::to_string(logical) + " maps past the end");
            layout.physical[logical] = phys;
            layout.pageType[logical] = type;
        }
    }
}

TRealAcs ReadAcsPage(const uint8_t* page, uint32_t number) {
    // 0xAD and 0xAE name a locale's or an international sort order by reference only.
    if (page[6] == 0xAD || page[6] == 0xAE)
        Unsupported(kOperationNotAllowed, "locale and international collating sequences");
    if (page[6] != 0xAC) Damaged("page " + std::to_string(number) + " is not an ACS page");
    TRealAcs acs;
    acs.name.assign(reinterpret_cast<const char*>(page + 7), 8);
    std::memcpy(acs.table.data(), page + 15, 256);
    acs.page = number;
    return acs;
}

int AcsIndex(TPageFile& file, TRealLayout& layout, uint32_t page) {
    for (size_t i = 0; i < layout.acs.size(); ++i)
        if (layout.acs[i].page == page) return int(i);
    uint32_t phys = page;
    if (layout.format != TFormat::Old5x) phys = PhysicalPage(layout, page, 'A');
    // 8.x pages have a header two bytes longer.
    const uint32_t shift = layout.format == TFormat::New8x ? 2 : 0;
    layout.acs.push_back(ReadAcsPage(file.Page(phys) + shift, page));
    return int(layout.acs.size() - 1);
}

void ReadKeys(TPageFile& file, TRealLayout& layout, const std::vector<uint8_t>& fcr,
              uint16_t keyCount) {
    const uint32_t size = uint32_t(fcr.size());
    const bool v6 = layout.format == TFormat::New6x;
    const bool v8 = layout.format == TFormat::New8x;
    const uint32_t specSize = v8 ? kSpecSize8 : kSpecSize;
    uint32_t katOffset = 0;
    if (v6) {
        katOffset = Le16(fcr.data() + 0x78);
        // Small pages leave no room after the key specifications: the table then sits in
        // the control record's own fields, from 0x7A.
        if (katOffset < 0x7A || uint64_t(katOffset) + 2u * keyCount > size ||
            (katOffset < 0x110 && uint64_t(katOffset) + 2u * keyCount > 0x110))
            Damaged("the key allocation table lies outside the control record");
    } else if (v8) {
        katOffset = Le16(fcr.data() + 0x7A);
        if (katOffset < 0x110 || uint64_t(katOffset) + 2u * keyCount > size)
            Damaged("the key allocation table lies outside the control record");
    }
    // Key offsets of compressed records are offsets in the expanded record.
    const uint16_t keyBase = layout.compressed ? 0 : layout.slotBase;
    uint32_t next = 0x110;
    uint32_t segmentsSeen = 0;
    const uint32_t specEnd = (v6 || v8) && katOffset >= 0x110 ? katOffset : size;
    for (uint16_t k = 0; k < keyCount; ++k) {
        uint32_t at = v6 || v8 ? Le16(fcr.data() + katOffset + 2 * k) : next;
        TRealKey key;
        for (;;) {
            if (at < 0x110 || uint64_t(at) + specSize > specEnd)
                Damaged("key " + std::to_string(k) + " specification lies outside the page");
            if (++segmentsSeen > kMaxSegments) Damaged("more than 119 key segments");
            const uint8_t* spec = fcr.data() + at;
            TRealSegment seg;
            seg.flags = Le16(spec + 0x08);
            const uint16_t rawOffset = Le16(spec + 0x14);
            seg.length = Le16(spec + 0x16);
            seg.type = spec[0x1C];
            seg.nullValue = spec[0x1D];
            if (key.segments.empty()) {
                key.flags = seg.flags;
                key.uniqueCount = Ws32(spec + 0x04);
                key.entrySize = Le16(spec + 0x0C);
                key.dupOffset = Le16(spec + 0x12);
                if (Le32(spec) == kNoPointer)
                    key.root = kNoPointer;
                else
                    key.root = v8 ? Le32(spec) : v6 ? PageRefNumber(spec) : Ws32(spec);
            }
            if (rawOffset < keyBase || seg.length == 0 ||
                uint32_t(rawOffset - keyBase) + seg.length > layout.recordLength) {
                if (layout.version >= 0x0700 && layout.version < 0x0800)
                    Unsupported(kOperationNotAllowed,
                                "a 7.x record layout with shifted key offsets");
                Damaged("key " + std::to_string(k) + " lies outside the record");
            }
            seg.offset = uint16_t(rawOffset - keyBase);
            if (seg.flags & kKeyAcs) {
                uint32_t acsPage = 1;
                if (v6) acsPage = (uint32_t(spec[0x19]) << 16) | Le16(spec + 0x1A);
                if (v8) acsPage = spec[0x19];
                if (acsPage == 0) acsPage = 1;
                seg.acs = AcsIndex(file, layout, acsPage);
            }
            key.length = uint16_t(key.length + seg.length);
            const bool more = seg.flags & kKeySegmented;
            key.segments.push_back(seg);
            at += specSize;
            if (!more) break;
        }
        next = at;
        if (key.length > 255) Damaged("key " + std::to_string(k) + " is longer than 255 bytes");
        key.linked = (key.flags & kKeyDuplicates) && !(key.flags & kKeyRepeatDup) &&
                     key.entrySize == key.length + 12;
        if (key.entrySize != key.length + 8 && !key.linked)
            Damaged("key " + std::to_string(k) + " has an unknown index entry size");
        layout.keys.push_back(std::move(key));
    }
}

// The slot: a compressed record's pointer and state, or the fixed part and its tail pointer,
// then the duplicate pointers of linked-duplicate keys.
void CheckSlotLayout(TRealLayout& layout) {
    uint32_t minimum = 0;
    if (layout.compressed)
        minimum = layout.pointerSize + 1 + (layout.format == TFormat::Old5x ? 0 : 2);
    else
        minimum =
            layout.slotBase + layout.recordLength + (layout.variable ? layout.pointerSize : 0);
    const uint32_t pointersAt = minimum;
    for (size_t k = 0; k < layout.keys.size(); ++k) {
        const TRealKey& key = layout.keys[k];
        if (!key.linked) continue;
        minimum += 8;
        if (key.dupOffset < pointersAt || uint32_t(key.dupOffset) + 8 > layout.physicalLength) {
            if (layout.version >= 0x0700 && layout.version < 0x0800)
                Unsupported(kOperationNotAllowed, "a 7.x record layout with shifted key offsets");
            Damaged("the duplicate pointers of key " + std::to_string(k) +
                    " lie outside the record slot");
        }
    }
    if (layout.physicalLength < minimum ||
        layout.physicalLength > layout.pageSize - layout.pageHeader)
        Damaged("the record slot length does not fit the record layout");
    if (layout.format == TFormat::New8x) {
        const uint32_t perPage = (layout.pageSize - layout.pageHeader) / layout.physicalLength;
        if (layout.slotBits == 0 || layout.slotBits > 16 || perPage > (1u << layout.slotBits))
            Damaged("the record address width does not fit the slots of a page");
        if ((uint64_t(layout.pageCount) + 1) << layout.slotBits > 0x100000000ull)
            Damaged("the page count is out of range");
    }
}

}  // namespace

uint32_t PhysicalPage(const TRealLayout& layout, uint32_t number, uint8_t expectedType) {
    if (layout.format == TFormat::Old5x) {
        if (number == 0 || number >= layout.pageCount)
            Damaged("page " + std::to_string(number) + " lies past the end");
        return number;
    }
    if (number == 0 || number > layout.pageCount || layout.pageType[number] == 0)
        Damaged("logical page " + std::to_string(number) + " is not in use");
    if (layout.pageType[number] != expectedType)
        Damaged("logical page " + std::to_string(number) + " is of an unexpected kind");
    return layout.physical[number];
}

bool PageHeaderMatches(const TRealLayout& layout, const uint8_t* page, uint32_t number,
                       uint8_t type) {
    if (layout.format == TFormat::New6x) return page[1] == type && PageRefNumber(page) == number;
    if (layout.format == TFormat::New8x) {
        const uint16_t word = type >= 0x80 ? uint16_t(0x8000 + (type - 0x80)) : type;
        return Le32(page) == number && Le16(page + 4) == word;
    }
    return true;
}

TRealLayout ReadLayout(TPageFile& file) {
    uint8_t head[0x110] = {};
    if (file.Size() < sizeof head) NotVendorFile("the file is too short");
    file.ReadAt(0, sizeof head, head);

    TRealLayout layout;
    std::vector<uint8_t> fcr;
    if (Le32(head) == 0) {
        layout.format = TFormat::Old5x;
        uint16_t version = Le16(head + 0x06);
        if (version & 0x8000) {
            version = uint16_t(-int32_t(version));
            layout.ownerMarked = true;
        }
        if (version != 0x0300 && version != 0x0400 && version != 0x0500)
            NotVendorFile("unknown format version " + Hex16(Le16(head + 0x06)));
        layout.version = version;
        layout.pageSize = Le16(head + 0x08);
    } else if (head[0] == 'F' && head[1] == 'C' && head[2] == 0 && head[3] == 0) {
        // 6.x keeps the page size at 0x08; 8.x leaves that word zero and keeps it at 0x2A.
        if (Le16(head + 0x08) == 0) {
            layout.format = TFormat::New8x;
            layout.pageSize = Le16(head + 0x2A);
        } else {
            layout.format = TFormat::New6x;
            layout.pageSize = Le16(head + 0x08);
        }
    } else {
        NotVendorFile("unknown signature");
    }
    const uint32_t p = layout.pageSize;
    if (p < 512 || p > 4096 || p % 512 != 0) NotVendorFile("invalid page size");
    if (layout.format == TFormat::New8x && (p & (p - 1)) != 0)
        Unsupported(kOperationNotAllowed, "8.x files with " + std::to_string(p) + "-byte pages");
    file.SetPageSize(p);
    if (file.Size() < p) Damaged("the file is truncated");

    layout.controlSize = p;
    if (layout.format == TFormat::New8x) layout.controlSize = std::max<uint32_t>(2 * p, 2048);
    // A pre-image file of a transaction (NAME.PRE) holds the control record and nothing else;
    // another file that short is a truncated one.
    if (layout.format != TFormat::Old5x && file.Size() <= 2ull * layout.controlSize &&
        IsPreImageName(file.Path()))
        NotDataFile("a pre-image file, which holds a control record and nothing else");

    if (layout.format == TFormat::Old5x) {
        fcr.assign(file.Page(0), file.Page(0) + p);
        if (Le16(fcr.data() + 0x0A) != 0) Unsupported(42, "a file left open in accelerated mode");
        if (Le16(fcr.data() + 0x22) == 0xFFFF)
            Damaged("the file is marked inconsistent and needs recovery");
        for (int i = 0x2E; i < 0x37; ++i)
            if (fcr[i] != 0) layout.ownerMarked = true;
    } else {
        fcr = CurrentFcr(file, layout.controlSize);
        if (fcr.empty()) Damaged("no valid file control record");
        const uint32_t sizeAt = layout.format == TFormat::New8x ? 0x2A : 0x08;
        if (Le16(fcr.data() + sizeAt) != p)
            Damaged("the control records disagree on the page size");
        // A negated version word marks a file that carries an owner name.
        const uint16_t stored = Le16(fcr.data() + 0x4A);
        uint16_t version = stored;
        if (version & 0x8000) {
            version = uint16_t(-int32_t(int16_t(version)));
            layout.ownerMarked = true;
        }
        if (layout.format == TFormat::New6x) {
            if (version >= 0x0800) NotVendorFile("unknown format version " + Hex16(stored));
            if (version < 0x0600) NotVendorFile("unknown format version " + Hex16(stored));
        } else {
            if (version > 0x0900)
                Unsupported(kNotBtrieveFile,
                            "files of format 9.5 and later (version " + Hex16(version) + ")");
            if (version < 0x0800) NotVendorFile("unknown format version " + Hex16(stored));
            layout.pageHeader = 8;
            layout.pointerSize = 6;
            layout.slotBits = fcr[0x15F];
        }
        layout.version = version;
        layout.slotBase = 2;
    }

    const bool v8 = layout.format == TFormat::New8x;
    const uint16_t keyCount = Le16(fcr.data() + 0x14);
    layout.recordLength = Le16(fcr.data() + 0x16);
    layout.physicalLength = Le16(fcr.data() + 0x18);
    layout.recordCount = Ws32(fcr.data() + 0x1A);
    layout.pageCount = Ws32(fcr.data() + 0x26);
    layout.fileFlags = Le16(fcr.data() + (v8 ? 0x190 : 0x106));
    const uint8_t varMarker = fcr[0x38];
    layout.variable = (layout.fileFlags & kFileVariable) || varMarker == 0xFF || varMarker == 0xFD;
    layout.compressed = layout.fileFlags & kFileCompress;

    if (layout.fileFlags & kFileKeyOnly) Unsupported(kOperationNotAllowed, "key-only files");
    if (layout.fileFlags & kFileVats)
        Unsupported(kOperationNotAllowed, "variable-tail allocation tables");
    if (layout.variable && !layout.compressed &&
        ((layout.fileFlags & kFileTruncate) || varMarker == 0xFD))
        Unsupported(kOperationNotAllowed, "blank truncation of variable records");

    if (keyCount > kMaxSegments) Damaged("too many keys");
    // Compressed records keep their expanded length apart; the fixed length reads zero.
    if (layout.compressed) layout.recordLength = Le16(fcr.data() + (v8 ? 0x192 : 0x10E));
    // 8.x system data (8 bytes) sits between the usage count and the record.
    if (v8 && !layout.compressed && (layout.fileFlags & kFileSystemData8) &&
        !(layout.fileFlags & kFileNoSystemData8))
        layout.slotBase = 10;
    if (layout.recordLength == 0 || layout.physicalLength == 0)
        Damaged("the record length is zero");

    if (layout.format == TFormat::Old5x) {
        // Record addresses are 4 bytes: page number times page size plus the offset.
        if ((uint64_t(layout.pageCount) + 1) * p > 0x100000000ull)
            Damaged("the page count is out of range");
        if (layout.pageCount > file.PageCount()) Damaged("the file is truncated");
        if (layout.pageCount == 0) Damaged("the page count is zero");
        layout.freePageChain = Ws32(fcr.data() + 0x0C);
        layout.deletedChain = Ws32(fcr.data() + 0x10);
        layout.currentPage = Ws32(fcr.data() + 0x1E);
        layout.currentFree = Le16(fcr.data() + 0x2A);
    } else if (layout.format == TFormat::New6x) {
        if ((uint64_t(layout.pageCount) + 1) * p > 0x100000000ull)
            Damaged("the page count is out of range");
        ReadPat(file, layout);
    } else {
        ReadPat8(file, layout);
    }
    ReadKeys(file, layout, fcr, keyCount);
    CheckSlotLayout(layout);
    return layout;
}

}  // namespace recman::real
