#include "recman/engine_library.h"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <utility>

#include "platform/codepage.h"
#include "recman/btrieve_codes.h"

namespace recman {
namespace {

// Where the vendor installs its 64-bit client libraries.
constexpr const char* kVendorDirectory = "/usr/local/psql/lib64/";

// The vendor's client libraries, newest first, each with the libraries it needs loaded before.
struct VendorLibrary {
    const char* name;
    std::vector<std::string> preload;
};
const VendorLibrary kVendorLibraries[] = {
    {"libpsqlmif.so", {"libpscore.so.3", "libpscl.so.3"}},
    {"libbtrvif.so", {}},
};

// The dynamic linker's last error, without the library name it starts with.
std::string LoadError(const std::string& path) {
    const char* error = dlerror();
    std::string text = error ? error : "unknown error";
    if (text.compare(0, path.size() + 2, path + ": ") == 0) text.erase(0, path.size() + 2);
    return text;
}

bool IsCode(const ElfW(Sym) * symbol) {
    const int type = ELF64_ST_TYPE(symbol->st_info);
    return type == STT_FUNC || type == STT_GNU_IFUNC;
}

}  // namespace

std::unique_ptr<EngineLibrary> EngineLibrary::Open(const std::string& path,
                                                   const std::vector<std::string>& preload,
                                                   std::string& reason) {
    std::unique_ptr<EngineLibrary> library(new EngineLibrary);
    for (const std::string& name : preload)
        if (void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_GLOBAL))
            library->handles_.push_back(handle);
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!handle) {
        reason = "cannot be loaded: " + LoadError(path);
        return nullptr;
    }
    library->handles_.push_back(handle);

    dlerror();
    void* entry = dlsym(handle, kEntryPointName);
    if (!entry) {
        reason = std::string("has no entry point ") + kEntryPointName;
        return nullptr;
    }
    Dl_info info{};
    void* symbol = nullptr;
    if (!dladdr1(entry, &info, &symbol, RTLD_DL_SYMENT) || !symbol ||
        !IsCode(static_cast<const ElfW(Sym)*>(symbol))) {
        reason = std::string("exports ") + kEntryPointName + ", but not as a function";
        return nullptr;
    }
    library->entry_ = reinterpret_cast<BtrCallEntry>(entry);

    // The file the entry point lies in: a searched name resolved, a relative path made whole.
    std::string file = info.dli_fname && *info.dli_fname ? info.dli_fname : path;
    std::error_code error;
    if (file.find('/') != std::string::npos) {
        const auto whole = std::filesystem::absolute(file, error);
        if (!error) file = whole.lexically_normal().string();
    }
    library->path_ = file;
    return library;
}

std::unique_ptr<EngineLibrary> EngineLibrary::Load(const std::string& path,
                                                   const std::vector<std::string>& preload) {
    std::string reason;
    std::unique_ptr<EngineLibrary> library = Open(path, preload, reason);
    if (!library)
        throw EEngineLibrary(Utf8ToAnsi("The Btrieve engine library " + path + " " + reason));
    return library;
}

std::unique_ptr<EngineLibrary> EngineLibrary::LoadVendor() {
    std::string tried;
    for (const VendorLibrary& vendor : kVendorLibraries) {
        for (const std::string directory : {"", kVendorDirectory}) {
            std::vector<std::string> preload;
            for (const std::string& name : vendor.preload) preload.push_back(directory + name);
            const std::string path = directory + vendor.name;
            std::string reason;
            if (std::unique_ptr<EngineLibrary> library = Open(path, preload, reason))
                return library;
            tried += (tried.empty() ? "" : "; ") + path + " " + reason;
        }
    }
    throw EEngineLibrary(Utf8ToAnsi("No Btrieve engine library could be loaded: " + tried));
}

EngineLibrary::~EngineLibrary() {
    for (auto it = handles_.rbegin(); it != handles_.rend(); ++it) dlclose(*it);
}

int16_t EngineLibrary::Call(uint16_t operation, void* positionBlock, void* dataBuffer,
                            uint32_t* dataLength, void* keyBuffer, uint8_t keyLength,
                            int8_t keyNumber) const {
    if ((operation == kOpOpen || operation == kOpCreate) && keyBuffer) {
        const char* name = static_cast<const char*>(keyBuffer);
        const size_t length = strnlen(name, keyLength);
        if (std::any_of(name, name + length, [](char c) { return (c & 0x80) != 0; })) {
            const std::string utf8 = AnsiToUtf8(std::string_view(name, length));
            char buffer[255] = {};
            if (utf8.size() >= sizeof buffer) return kInvalidFileName;
            std::memcpy(buffer, utf8.data(), utf8.size());
            return entry_(operation, positionBlock, dataBuffer, dataLength, buffer,
                          static_cast<uint8_t>(utf8.size() + 1), keyNumber);
        }
    }
    return entry_(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                  keyNumber);
}

}  // namespace recman
