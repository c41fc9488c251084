#include "btrieve/btr_call.h"

#include <utility>

#include "recman/btrcall.h"

// The record manager may be absent from a program (tests that script their own); the weak
// reference then stays null and the default entry reports Btrieve as not loaded.
#pragma weak BTRCALL

namespace {

constexpr int16_t kStatusNotLoaded = 20;

int16_t DefaultCall(uint16_t operation, void* positionBlock, void* dataBuffer, uint32_t* dataLength,
                    void* keyBuffer, uint8_t keyLength, int8_t keyNumber) {
    if (&BTRCALL == nullptr) return kStatusNotLoaded;
    return BTRCALL(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                   keyNumber);
}

TBtrCall& CurrentCall() {
    static TBtrCall call = DefaultCall;
    return call;
}

}  // namespace

int16_t BtrCall(uint16_t operation, void* positionBlock, void* dataBuffer, uint32_t* dataLength,
                void* keyBuffer, uint8_t keyLength, int8_t keyNumber) {
    return CurrentCall()(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                         keyNumber);
}

TBtrCall SetBtrCall(TBtrCall call) {
    TBtrCall previous = std::move(CurrentCall());
    CurrentCall() = call ? std::move(call) : TBtrCall(DefaultCall);
    return previous;
}
