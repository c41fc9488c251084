// The Btrieve call: the one entry into the record manager. Everything above recman/ reaches
// records only through it; the vendor's client library exports the same function.
#pragma once

#include <cstdint>

extern "C" {

// operation: operation code plus any lock bias; positionBlock: the 128-byte block of an open
// file (unused by transaction calls); dataLength: in, bytes supplied or room given; out, bytes
// returned; keyNumber: the key number, or the open mode for Open. Returns the status, 0 on
// success.
int16_t BTRCALL(uint16_t operation, void* positionBlock, void* dataBuffer, uint32_t* dataLength,
                void* keyBuffer, uint8_t keyLength, int8_t keyNumber);
}

// Size of a position block in bytes.
inline constexpr int kPositionBlockSize = 128;
