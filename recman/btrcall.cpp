#include "recman/btrcall.h"

#include "recman/dispatcher.h"

extern "C" int16_t BTRCALL(uint16_t operation, void* positionBlock, void* dataBuffer,
                           uint32_t* dataLength, void* keyBuffer, uint8_t keyLength,
                           int8_t keyNumber) {
    return recman::DispatchCall(recman::FileNames::Ansi, operation, positionBlock, dataBuffer,
                                dataLength, keyBuffer, keyLength, keyNumber);
}
