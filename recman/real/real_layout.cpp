#include "recman/real/real_layout.h"

#include <algorithm>
#include <cstring>

#include "recman/btrieve_codes.h"
#include "recman/real/bytes.h"
#include "recman/real/real_error.h"

namespace recman::real {

namespace {

constexpr uint32_t kSpecSize = 30;
constexpr uint32_t kMaxSegments = 119;

[[noreturn]] void NotVendorFile(const std::string& why) {
    throw ERealFile(kStatusNotBtrieve, "Not a Btrieve file: " + why);
}

[[noreturn]] void Unsupported(int16_t status, const std::string& what) {
    throw ERealFile(status, "Not supported: " + what);
}

std::string Hex16(uint16_t v) {
    static const char* digits = "0123456789ABCDEF";
    std::string s = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) s += digits[(v >> shift) & 0xF];
    return s;
}

// Picks the current FCR of a 6.x file: the "FC" copy with the higher usage count.
std::vector<uint8_t> CurrentFcr(TPageFile& file, uint32_t pageSize) {
    std::vector<uint8_t> best;
    uint32_t bestUsage = 0;
    for (uint32_t page = 0; page < 2; ++page) {
        if (uint64_t(page + 1) * pageSize > file.Size()) Damaged("the file is truncated");
        std::vector<uint8_t> copy(pageSize);
        file.ReadAt(uint64_t(page) * pageSize, pageSize, copy.data());
        if (copy[0] != 'F' || copy[1] != 'C' || copy[2] != 0 || copy[3] != 0) continue;
        const uint32_t usage = Le32(copy.data() + 4);
        if (best.empty() || usage > bestUsage) {
            best = std::move(copy);
            bestUsage = usage;
        }
    }
    return best;
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
                Unsupported(kStatusNotAllowed,
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
        Unsupported(kStatusNotAllowed, "locale and international collating sequences");
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
    if (layout.format == TFormat::New6x) phys = PhysicalPage(layout, page, 'A');
    layout.acs.push_back(ReadAcsPage(file.Page(phys), page));
    return int(layout.acs.size() - 1);
}

void ReadKeys(TPageFile& file, TRealLayout& layout, const std::vector<uint8_t>& fcr,
              uint16_t keyCount) {
    const uint32_t p = layout.pageSize;
    const bool v6 = layout.format == TFormat::New6x;
    uint32_t katOffset = 0;
    if (v6) {
        katOffset = Le16(fcr.data() + 0x78);
        // Small pages leave no room after the key specifications: the table then sits in
        // the control record's own fields, from 0x7A.
        if (katOffset < 0x7A || uint64_t(katOffset) + 2u * keyCount > p ||
            (katOffset < 0x110 && uint64_t(katOffset) + 2u * keyCount > 0x110))
            Damaged("the key allocation table lies outside the control record");
    }
    uint32_t next = 0x110;
    uint32_t segmentsSeen = 0;
    const uint32_t specEnd = v6 && katOffset >= 0x110 ? katOffset : p;
    for (uint16_t k = 0; k < keyCount; ++k) {
        uint32_t at = v6 ? Le16(fcr.data() + katOffset + 2 * k) : next;
        TRealKey key;
        for (;;) {
            if (at < 0x110 || uint64_t(at) + kSpecSize > specEnd)
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
                key.root =
                    v6 ? (spec[0] == 0xFF && spec[1] == 0xFF && spec[2] == 0xFF && spec[3] == 0xFF
                              ? kNoPointer
                              : PageRefNumber(spec))
                       : Ws32(spec);
            }
            if (rawOffset < layout.slotBase || seg.length == 0 ||
                uint32_t(rawOffset - layout.slotBase) + seg.length > layout.recordLength) {
                if (layout.version >= 0x0700)
                    Unsupported(kStatusNotAllowed, "a 7.x record layout with shifted key offsets");
                Damaged("key " + std::to_string(k) + " lies outside the record");
            }
            seg.offset = uint16_t(rawOffset - layout.slotBase);
            if (seg.flags & kKeyAcs) {
                uint32_t acsPage = 1;
                if (v6) {
                    acsPage = (uint32_t(spec[0x19]) << 16) | Le16(spec + 0x1A);
                    if (acsPage == 0) acsPage = 1;
                }
                seg.acs = AcsIndex(file, layout, acsPage);
            }
            key.length = uint16_t(key.length + seg.length);
            const bool more = seg.flags & kKeySegmented;
            key.segments.push_back(seg);
            at += kSpecSize;
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

void CheckSlotLayout(TRealLayout& layout) {
    uint32_t minimum = layout.slotBase + layout.recordLength + (layout.variable ? 4 : 0);
    const uint32_t pointersAt = minimum;
    for (size_t k = 0; k < layout.keys.size(); ++k) {
        const TRealKey& key = layout.keys[k];
        if (!key.linked) continue;
        minimum += 8;
        if (key.dupOffset < pointersAt || uint32_t(key.dupOffset) + 8 > layout.physicalLength) {
            if (layout.version >= 0x0700)
                Unsupported(kStatusNotAllowed, "a 7.x record layout with shifted key offsets");
            Damaged("the duplicate pointers of key " + std::to_string(k) +
                    " lie outside the record slot");
        }
    }
    if (layout.physicalLength < minimum || layout.physicalLength > layout.pageSize - 6)
        Damaged("the record slot length does not fit the record layout");
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
        layout.format = TFormat::New6x;
        if (head[0x09] == 0 && head[0x08] == 0)
            Unsupported(kStatusNotBtrieve, "files of format 8.x and later");
        layout.pageSize = Le16(head + 0x08);
    } else {
        NotVendorFile("unknown signature");
    }
    const uint32_t p = layout.pageSize;
    if (p < 512 || p > 4096 || p % 512 != 0) NotVendorFile("invalid page size");
    file.SetPageSize(p);
    if (file.Size() < p) Damaged("the file is truncated");

    if (layout.format == TFormat::Old5x) {
        fcr.assign(file.Page(0), file.Page(0) + p);
        if (Le16(fcr.data() + 0x0A) != 0) Unsupported(42, "a file left open in accelerated mode");
        if (Le16(fcr.data() + 0x22) == 0xFFFF)
            Damaged("the file is marked inconsistent and needs recovery");
        for (int i = 0x2E; i < 0x37; ++i)
            if (fcr[i] != 0) layout.ownerMarked = true;
    } else {
        fcr = CurrentFcr(file, p);
        if (fcr.empty()) Damaged("no valid file control record");
        if (Le16(fcr.data() + 0x08) != p) Damaged("the control records disagree on the page size");
        // A negated version word marks a file that carries an owner name.
        const uint16_t stored = Le16(fcr.data() + 0x4A);
        uint16_t version = stored;
        if (version & 0x8000) {
            version = uint16_t(-int32_t(int16_t(version)));
            layout.ownerMarked = true;
        }
        if (version >= 0x0800) Unsupported(kStatusNotBtrieve, "files of format 8.x and later");
        if (version < 0x0600) NotVendorFile("unknown format version " + Hex16(stored));
        layout.version = version;
        layout.slotBase = 2;
    }

    const uint16_t keyCount = Le16(fcr.data() + 0x14);
    layout.recordLength = Le16(fcr.data() + 0x16);
    layout.physicalLength = Le16(fcr.data() + 0x18);
    layout.recordCount = Ws32(fcr.data() + 0x1A);
    layout.pageCount = Ws32(fcr.data() + 0x26);
    layout.fileFlags = Le16(fcr.data() + 0x106);
    const uint8_t varMarker = fcr[0x38];
    layout.variable = (layout.fileFlags & kFileVariable) || varMarker == 0xFF || varMarker == 0xFD;

    if (layout.fileFlags & kFileCompress) Unsupported(kStatusNotAllowed, "compressed records");
    if (layout.fileFlags & kFileKeyOnly) Unsupported(kStatusNotAllowed, "key-only files");
    if (layout.fileFlags & kFileVats)
        Unsupported(kStatusNotAllowed, "variable-tail allocation tables");
    if (layout.variable && ((layout.fileFlags & kFileTruncate) || varMarker == 0xFD))
        Unsupported(kStatusNotAllowed, "blank truncation of variable records");

    if (keyCount > kMaxSegments) Damaged("too many keys");
    if (layout.recordLength == 0 || layout.physicalLength == 0)
        Damaged("the record length is zero");

    // Record addresses are 4 bytes: page number times page size plus the offset in the page.
    if ((uint64_t(layout.pageCount) + 1) * p > 0x100000000ull)
        Damaged("the page count is out of range");
    if (layout.format == TFormat::Old5x) {
        if (layout.pageCount > file.PageCount()) Damaged("the file is truncated");
        if (layout.pageCount == 0) Damaged("the page count is zero");
        layout.freePageChain = Ws32(fcr.data() + 0x0C);
        layout.deletedChain = Ws32(fcr.data() + 0x10);
        layout.currentPage = Ws32(fcr.data() + 0x1E);
        layout.currentFree = Le16(fcr.data() + 0x2A);
    } else {
        ReadPat(file, layout);
    }
    ReadKeys(file, layout, fcr, keyCount);
    CheckSlotLayout(layout);
    return layout;
}

}  // namespace recman::real
