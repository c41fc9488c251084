#include "btrieve/btr_call.h"

#include <utility>

#include "recman/engine.h"

namespace {

int16_t DefaultCall(uint16_t operation, void* positionBlock, void* dataBuffer, uint32_t* dataLength,
                    void* keyBuffer, uint8_t keyLength, int8_t keyNumber) {
#ifdef QUORVATH_HAVE_RECMAN
    return recman::EngineCall(operation, positionBlock, dataBuffer, dataLength, keyBuffer,
                              keyLength, keyNumber);
#else
    // A build without the record manager: every call finds Btrieve not loaded.
    constexpr int16_t kStatusNotLoaded = 20;
    (void)operation, (void)positionBlock, (void)dataBuffer, (void)dataLength, (void)keyBuffer,
        (void)keyLength, (void)keyNumber;
    return kStatusNotLoaded;
#endif
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
