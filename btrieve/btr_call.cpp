#include "btrieve/btr_call.h"

#include <utility>

#include "recman/btrcall.h"
#include "recman/btrieve_codes.h"
#include "recman/engine.h"

namespace {

int16_t DefaultCall(uint16_t operation, void* positionBlock, void* dataBuffer, uint32_t* dataLength,
                    void* keyBuffer, uint8_t keyLength, int8_t keyNumber) {
#ifdef QUORVATH_HAVE_RECMAN
    return recman::EngineCall(operation, positionBlock, dataBuffer, dataLength, keyBuffer,
                              keyLength, keyNumber);
#else
    // A build without the record manager: every call finds Btrieve not loaded.
    (void)operation, (void)positionBlock, (void)dataBuffer, (void)dataLength, (void)keyBuffer,
        (void)keyLength, (void)keyNumber;
    return recman::kRecordManagerInactive;
#endif
}

TBtrCall& CurrentCall() {
    static TBtrCall call = DefaultCall;
    return call;
}

// True for an entry that is the engine's call itself, as the programs put it in place, or the
// embedded record manager's.
bool IsEngineCall(const TBtrCall& call) {
#ifdef QUORVATH_HAVE_RECMAN
    using TEntry = int16_t (*)(uint16_t, void*, void*, uint32_t*, void*, uint8_t, int8_t);
    const TEntry* entry = call.target<TEntry>();
    return entry && (*entry == &recman::EngineCall || *entry == &BTRCALL);
#else
    (void)call;
    return false;
#endif
}

// True while the chosen engine's call serves: only it can say why it refused a file.
bool& EngineServes() {
    static bool serves = true;
    return serves;
}

}  // namespace

int16_t BtrCall(uint16_t operation, void* positionBlock, void* dataBuffer, uint32_t* dataLength,
                void* keyBuffer, uint8_t keyLength, int8_t keyNumber) {
    return CurrentCall()(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                         keyNumber);
}

std::string BtrLastErrorDetail() {
#ifdef QUORVATH_HAVE_RECMAN
    if (EngineServes()) return recman::LastErrorDetail();
#endif
    return {};
}

TBtrCall SetBtrCall(TBtrCall call) {
    TBtrCall previous = std::move(CurrentCall());
    EngineServes() = !call || IsEngineCall(call);
    CurrentCall() = call ? std::move(call) : TBtrCall(DefaultCall);
    return previous;
}
