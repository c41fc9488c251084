#include "recman/btrieve_codes.h"
#include "recman/real/real_cursor.h"
#include "recman/real/real_error.h"
#include "recman/real/real_file.h"

namespace recman::real {

namespace {
// Initial-exec: in libquorvath-btrieve.so, loaded by dlopen, the variable then sits in the
// static TLS block instead of a dynamically allocated one, which the leak checker of the
// sanitizer builds misreads at exit.
thread_local std::string lastOpenError __attribute__((tls_model("initial-exec")));
}  // namespace

const std::string& LastOpenError() {
    return lastOpenError;
}

void ClearLastOpenError() {
    lastOpenError.clear();
}

// The owner name is not checked: the file keeps it scrambled and a reader of bytes cannot
// verify it, so every file is served read-only whatever name is presented. Records that
// are really encrypted do not match their own index and are refused at open.
std::unique_ptr<Cursor> OpenRealFile(const std::string& path, int8_t mode, const std::string&,
                                     int16_t& status) {
    lastOpenError.clear();
    if (mode > 0 || mode < -4) {
        status = kIncompatibleMode;
        lastOpenError = "Unknown open mode " + std::to_string(int(mode));
        return nullptr;
    }
    try {
        auto cursor = std::make_unique<TRealCursor>(std::make_unique<TRealFile>(path));
        status = kOk;
        return cursor;
    } catch (const ERealFile& e) {
        status = e.Status;
        lastOpenError = e.Message();
    } catch (const std::bad_alloc&) {
        status = kOutOfMemory;
        lastOpenError = "Not enough memory to open the file";
    }
    return nullptr;
}

}  // namespace recman::real
