// The entry point of libquorvath-btrieve.so: the embedded record manager behind the vendor's
// Btrieve call, for programs that link or load the library as their engine. Such programs spell
// file names as Linux does, in UTF-8; the library keeps its own record manager, apart from any
// other in the process.
#include <cstdint>

#include "recman/dispatcher.h"

extern "C" __attribute__((visibility("default"))) int16_t BTRCALL(
    uint16_t operation, void* positionBlock, void* dataBuffer, uint32_t* dataLength,
    void* keyBuffer, uint8_t keyLength, int8_t keyNumber) {
    return recman::DispatchCall(recman::FileNames::Utf8, operation, positionBlock, dataBuffer,
                                dataLength, keyBuffer, keyLength, keyNumber);
}
