// A Btrieve client library loaded at run time: found by its path or the vendor's usual names,
// checked for the entry point, and called with the file names the operating system's way.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/exception.h"

namespace recman {

// The entry point's name and signature in every client library.
inline constexpr const char* kEntryPointName = "BTRCALL";
using BtrCallEntry = int16_t (*)(uint16_t operation, void* positionBlock, void* dataBuffer,
                                 uint32_t* dataLength, void* keyBuffer, uint8_t keyLength,
                                 int8_t keyNumber);

// A library that cannot serve as the engine; the message names it and what was missing.
class EEngineLibrary : public Exception {
  public:
    using Exception::Exception;
};

class EngineLibrary {
  public:
    // Loads the library at path (UTF-8; a name without a slash is searched on the dynamic
    // linker's path), loading the libraries in preload first when they can be. Throws
    // EEngineLibrary.
    static std::unique_ptr<EngineLibrary> Load(const std::string& path,
                                               const std::vector<std::string>& preload = {});
    // The first of the vendor's usual libraries that loads: each name on the linker's path,
    // then in the vendor's install directory. Throws EEngineLibrary listing every try.
    static std::unique_ptr<EngineLibrary> LoadVendor();

    ~EngineLibrary();
    EngineLibrary(const EngineLibrary&) = delete;
    EngineLibrary& operator=(const EngineLibrary&) = delete;

    // The file that holds the entry point (UTF-8).
    const std::string& Path() const { return path_; }

    // One Btrieve call. The system's CP1251 file names of Open and Create reach the library
    // in UTF-8, as Linux spells them; a name longer than the key buffer then answers 11.
    int16_t Call(uint16_t operation, void* positionBlock, void* dataBuffer, uint32_t* dataLength,
                 void* keyBuffer, uint8_t keyLength, int8_t keyNumber) const;

  private:
    EngineLibrary() = default;
    // The library, or null with the reason it cannot serve (UTF-8).
    static std::unique_ptr<EngineLibrary> Open(const std::string& path,
                                               const std::vector<std::string>& preload,
                                               std::string& reason);

    std::vector<void*> handles_;  // the preloaded libraries, then the library itself
    BtrCallEntry entry_ = nullptr;
    std::string path_;
};

}  // namespace recman
