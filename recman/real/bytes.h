// Little-endian and word-swapped integers as the vendor's engine lays them out on disk.
#pragma once

#include <cstdint>

namespace recman::real {

inline uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

inline uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Two little-endian words, the high word first.
inline uint32_t Ws32(const uint8_t* p) {
    return (uint32_t(Le16(p)) << 16) | Le16(p + 2);
}

inline void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

inline void PutLe32(uint8_t* p, uint32_t v) {
    PutLe16(p, uint16_t(v));
    PutLe16(p + 2, uint16_t(v >> 16));
}

inline void PutWs32(uint8_t* p, uint32_t v) {
    PutLe16(p, uint16_t(v >> 16));
    PutLe16(p + 2, uint16_t(v));
}

// A 6.x page reference: [bits 16-23][type][bits 0-7][bits 8-15].
inline uint32_t PageRefNumber(const uint8_t* p) {
    return (uint32_t(p[0]) << 16) | p[2] | (uint32_t(p[3]) << 8);
}

inline constexpr uint32_t kNoPointer = 0xFFFFFFFFu;

}  // namespace recman::real
