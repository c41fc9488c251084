#include "recman/btrcall.h"

#include <mutex>

#include "recman/dispatcher.h"

extern "C" int16_t BTRCALL(uint16_t operation, void* positionBlock, void* dataBuffer,
                           uint32_t* dataLength, void* keyBuffer, uint8_t keyLength,
                           int8_t keyNumber) {
    static std::mutex mutex;
    std::lock_guard<std::mutex> guard(mutex);
    return recman::Dispatcher::Instance().Call(operation, positionBlock, dataBuffer, dataLength,
                                               keyBuffer, keyLength, keyNumber);
}
