// The rows of the export benchmarks: ten fields of the usual kinds (an autoincrement, OEM
// text, integers, floats, a date, a time), each record made from its number, as the bytes of
// an 88-byte Btrieve record.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

// The ten fields as dictionary type codes with their sizes in the record.
struct TBtrField {
    const char* name;
    uint16_t code;
    int32_t size;
};
inline constexpr TBtrField kBtrFields[] = {
    {"ID", 22, 4},   {"NAME", 1, 31}, {"CITY", 1, 21}, {"QTY", 2, 2}, {"FLAGS", 13, 2},
    {"PRICE", 4, 8}, {"RATE", 7, 8},  {"BORN", 5, 4},  {"AT", 6, 4},  {"TOTAL", 3, 4},
};
inline constexpr int kBtrRecordLength = 88;

inline void Put(std::string& r, size_t at, const void* p, size_t n) {
    std::memcpy(&r[at], p, n);
}

// One record of the data file, made from its number.
inline std::string DataRecord(int32_t row) {
    std::string r(kBtrRecordLength, '\0');
    const int32_t id = row + 1;
    Put(r, 0, &id, 4);
    char name[31] = "Customer O'Name ";
    std::to_chars(name + 16, name + 30, row);
    Put(r, 4, name, std::strlen(name));
    // Moscow, in Latin letters or in Cyrillic (CP866)
    Put(r, 35, row % 2 ? "Moscow" : "\x8C\xAE\xE1\xAA\xA2\xA0", 6);
    const int16_t qty = static_cast<int16_t>(row % 1000 - 500);
    Put(r, 56, &qty, 2);
    const uint16_t flags = static_cast<uint16_t>(row);
    Put(r, 58, &flags, 2);
    const double price = row * 0.25 + 0.5, rate = 1.0 / (row + 3);
    Put(r, 60, &price, 8);
    Put(r, 68, &rate, 8);
    const uint8_t date[4] = {static_cast<uint8_t>(1 + row % 28), static_cast<uint8_t>(1 + row % 12),
                             static_cast<uint8_t>((1990 + row % 30) & 0xFF),
                             static_cast<uint8_t>((1990 + row % 30) >> 8)};
    Put(r, 76, date, 4);
    const uint8_t time[4] = {static_cast<uint8_t>(row % 100), static_cast<uint8_t>(row % 60),
                             static_cast<uint8_t>(row / 60 % 60),
                             static_cast<uint8_t>(row / 3600 % 24)};
    Put(r, 80, time, 4);
    const int32_t total = row * 3;
    Put(r, 84, &total, 4);
    return r;
}
