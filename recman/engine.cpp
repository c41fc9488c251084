#include "recman/engine.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "recman/btrcall.h"
#include "recman/btrieve_codes.h"
#include "recman/byte_order.h"
#include "recman/dispatcher.h"
#include "recman/engine_library.h"

namespace recman {
namespace {

// The loaded client library; empty while the embedded record manager serves. It is unloaded
// when another engine is chosen, never while the process exits: the library's own exit
// handlers close its files then, and an engine may keep threads that outlive main.
std::unique_ptr<EngineLibrary>& Library() {
    static auto* library = new std::unique_ptr<EngineLibrary>;
    return *library;
}

}  // namespace

std::string EngineChoice(const std::string& option) {
    if (!option.empty()) return option;
    const char* variable = std::getenv(kEngineVariable);
    return variable ? variable : "";
}

void UseEngine(const std::string& choice) {
    if (choice.empty() || choice == "embedded") {
        Library().reset();
        return;
    }
    std::unique_ptr<EngineLibrary> library =
        choice == "auto" ? EngineLibrary::LoadVendor() : EngineLibrary::Load(choice);
    Library() = std::move(library);
}

int16_t EngineCall(uint16_t operation, void* positionBlock, void* dataBuffer, uint32_t* dataLength,
                   void* keyBuffer, uint8_t keyLength, int8_t keyNumber) {
    if (const auto& library = Library())
        return library->Call(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                             keyNumber);
    return BTRCALL(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                   keyNumber);
}

std::string LastErrorDetail() {
    return Library() ? std::string() : LastOpenDetail();
}

std::string EngineDescription() {
    std::string text = Library() ? Library()->Path() : "embedded record manager";
    // Version answers one 5-byte entry (version, revision, platform letter) per component.
    uint8_t version[15] = {};
    uint32_t length = sizeof version;
    char positionBlock[kPositionBlockSize] = {};
    char key[255] = {};
    const int16_t status =
        EngineCall(kOpVersion, positionBlock, version, &length, key, sizeof key, 0);
    if (status != kOk) return text + ", version unknown (status " + std::to_string(status) + ")";
    std::string entries;
    for (uint32_t at = 0; at + 5 <= length && at + 5 <= sizeof version; at += 5) {
        const uint16_t major = LoadU16(version + at), minor = LoadU16(version + at + 2);
        const char platform = static_cast<char>(version[at + 4]);
        if (major == 0 && minor == 0) continue;
        char entry[32];
        std::snprintf(entry, sizeof entry, "%u.%02u", major, minor);
        entries += (entries.empty() ? "" : ", ") + std::string(entry);
        if (platform > ' ' && platform < 0x7F) entries += std::string(" ") + platform;
    }
    return text + ", version " + (entries.empty() ? "unknown" : entries);
}

}  // namespace recman
