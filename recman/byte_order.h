// Little-endian reads and writes of the integers in Btrieve buffers, and the caller's buffers
// as bytes.
#pragma once

#include <cstdint>
#include <cstring>

namespace recman {

inline uint16_t LoadU16(const void* p) {
    const auto* b = static_cast<const uint8_t*>(p);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}
inline uint32_t LoadU32(const void* p) {
    const auto* b = static_cast<const uint8_t*>(p);
    return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}
inline uint64_t LoadU64(const void* p) {
    const auto* b = static_cast<const uint8_t*>(p);
    return uint64_t{LoadU32(b)} | (uint64_t{LoadU32(b + 4)} << 32);
}
inline void StoreU16(void* p, uint16_t v) {
    auto* b = static_cast<uint8_t*>(p);
    b[0] = static_cast<uint8_t>(v);
    b[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU32(void* p, uint32_t v) {
    auto* b = static_cast<uint8_t*>(p);
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void StoreU64(void* p, uint64_t v) {
    auto* b = static_cast<uint8_t*>(p);
    for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}

// A caller's buffer as bytes.
inline uint8_t* CallerBytes(void* p) {
    return static_cast<uint8_t*>(p);
}
// The size of an address in a caller's chunk descriptors, and the address stored at p.
constexpr uint32_t kCallerPointerSize = sizeof(void*);
inline void* LoadCallerPointer(const uint8_t* p) {
    uintptr_t v = 0;
    std::memcpy(&v, p, sizeof v);
    return reinterpret_cast<void*>(v);
}

}  // namespace recman
