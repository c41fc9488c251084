// Expansion of a compressed record as the vendor's engine stores it: alternating blocks of
// literal bytes and runs of one repeated byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace recman::real {

// Expands stream (n bytes) into out, which then holds exactly length bytes. Throws ERealFile
// status 2 when the stream is cut short, runs past length or comes out shorter.
void ExpandRecord(const uint8_t* stream, size_t n, size_t length, std::vector<uint8_t>& out);

}  // namespace recman::real
