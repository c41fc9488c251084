#include "recman/read_ahead_vfs.h"

#include <cstring>
#include <memory>
#include <new>

namespace recman {
namespace {

// File controls of this layer; SQLite's own are small numbers.
constexpr int kControlReadAhead = 0x51A7'0001;  // argument: int*, 1 on, 0 off
constexpr int kControlCounts = 0x51A7'0002;     // argument: ReadAheadCounts*

constexpr int kWindow = 64 * 1024;

sqlite3_vfs* Base() {
    static sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
    return base;
}

// What this layer keeps beside the file of the layer below, which follows it in memory.
struct TFile {
    sqlite3_file file;  // first: SQLite sees this
    sqlite3_io_methods methods;
    sqlite3_file* below;
    bool on = false;
    // The window: [start, start + length) of the file, while length is not 0.
    std::unique_ptr<char[]> window;
    sqlite3_int64 start = 0;
    int length = 0;
    // Where the window ended and where the last read it could not answer ended: a read at
    // either goes on in order, and is answered by reading a window.
    sqlite3_int64 windowEnd = -1;
    sqlite3_int64 missEnd = -1;
    ReadAheadCounts counts;
};

TFile* Of(sqlite3_file* f) {
    return reinterpret_cast<TFile*>(f);
}
sqlite3_file* Below(sqlite3_file* f) {
    return Of(f)->below;
}

int Close(sqlite3_file* f) {
    TFile* t = Of(f);
    sqlite3_file* below = t->below;
    const int rc = below->pMethods ? below->pMethods->xClose(below) : SQLITE_OK;
    t->~TFile();
    return rc;
}

int Read(sqlite3_file* f, void* out, int amount, sqlite3_int64 offset) {
    TFile* t = Of(f);
    sqlite3_file* below = t->below;
    if (!t->on || amount > kWindow) return below->pMethods->xRead(below, out, amount, offset);
    if (t->length != 0 && offset >= t->start && offset + amount <= t->start + t->length) {
        std::memcpy(out, t->window.get() + (offset - t->start), static_cast<size_t>(amount));
        ++t->counts.served;
        return SQLITE_OK;
    }
    if (offset == t->missEnd || offset == t->windowEnd) {
        if (!t->window) t->window.reset(new (std::nothrow) char[kWindow]);
        if (t->window) {
            t->length = 0;
            // A window that runs past the end of the file is not kept: what the layer below
            // fills in there is not the file's.
            if (below->pMethods->xRead(below, t->window.get(), kWindow, offset) == SQLITE_OK) {
                t->start = offset;
                t->length = kWindow;
                t->windowEnd = offset + kWindow;
                ++t->counts.windows;
                std::memcpy(out, t->window.get(), static_cast<size_t>(amount));
                ++t->counts.served;
                return SQLITE_OK;
            }
        }
    }
    t->missEnd = offset + amount;
    ++t->counts.passed;
    return below->pMethods->xRead(below, out, amount, offset);
}

int Write(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
    Of(f)->length = 0;
    return Below(f)->pMethods->xWrite(Below(f), data, amount, offset);
}

int Truncate(sqlite3_file* f, sqlite3_int64 size) {
    Of(f)->length = 0;
    return Below(f)->pMethods->xTruncate(Below(f), size);
}

int Sync(sqlite3_file* f, int flags) {
    return Below(f)->pMethods->xSync(Below(f), flags);
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) {
    return Below(f)->pMethods->xFileSize(Below(f), size);
}
int Lock(sqlite3_file* f, int level) {
    return Below(f)->pMethods->xLock(Below(f), level);
}
int Unlock(sqlite3_file* f, int level) {
    return Below(f)->pMethods->xUnlock(Below(f), level);
}
int CheckReservedLock(sqlite3_file* f, int* out) {
    return Below(f)->pMethods->xCheckReservedLock(Below(f), out);
}

int FileControl(sqlite3_file* f, int op, void* arg) {
    TFile* t = Of(f);
    if (op == kControlReadAhead) {
        t->on = *static_cast<int*>(arg) != 0;
        t->length = 0;
        return SQLITE_OK;
    }
    if (op == kControlCounts) {
        *static_cast<ReadAheadCounts*>(arg) = t->counts;
        return SQLITE_OK;
    }
    return t->below->pMethods->xFileControl(t->below, op, arg);
}

int SectorSize(sqlite3_file* f) {
    return Below(f)->pMethods->xSectorSize(Below(f));
}
int DeviceCharacteristics(sqlite3_file* f) {
    return Below(f)->pMethods->xDeviceCharacteristics(Below(f));
}
int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
    return Below(f)->pMethods->xShmMap(Below(f), region, size, extend, out);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return Below(f)->pMethods->xShmLock(Below(f), offset, n, flags);
}
void ShmBarrier(sqlite3_file* f) {
    Below(f)->pMethods->xShmBarrier(Below(f));
}
int ShmUnmap(sqlite3_file* f, int deleteFlag) {
    return Below(f)->pMethods->xShmUnmap(Below(f), deleteFlag);
}
int Fetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** out) {
    return Below(f)->pMethods->xFetch(Below(f), offset, amount, out);
}
int Unfetch(sqlite3_file* f, sqlite3_int64 offset, void* p) {
    return Below(f)->pMethods->xUnfetch(Below(f), offset, p);
}

int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    sqlite3_vfs* base = static_cast<sqlite3_vfs*>(vfs->pAppData);
    auto* below = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(f) + sizeof(TFile));
    std::memset(below, 0, static_cast<size_t>(base->szOsFile));
    auto* t = new (f) TFile{};
    t->below = below;
    t->file.pMethods = nullptr;
    const int rc = base->xOpen(base, name, below, flags, outFlags);
    if (rc != SQLITE_OK || below->pMethods == nullptr) {
        // SQLite closes nothing that failed to open.
        if (below->pMethods) below->pMethods->xClose(below);
        t->~TFile();
        f->pMethods = nullptr;
        return rc != SQLITE_OK ? rc : SQLITE_CANTOPEN;
    }
    // The same methods as the layer below offers, in its version.
    const sqlite3_io_methods& m = *below->pMethods;
    t->methods = {m.iVersion,
                  Close,
                  Read,
                  Write,
                  Truncate,
                  Sync,
                  FileSize,
                  Lock,
                  Unlock,
                  CheckReservedLock,
                  FileControl,
                  SectorSize,
                  DeviceCharacteristics,
                  m.iVersion >= 2 ? ShmMap : nullptr,
                  m.iVersion >= 2 ? ShmLock : nullptr,
                  m.iVersion >= 2 ? ShmBarrier : nullptr,
                  m.iVersion >= 2 ? ShmUnmap : nullptr,
                  m.iVersion >= 3 ? Fetch : nullptr,
                  m.iVersion >= 3 ? Unfetch : nullptr};
    if (t->methods.iVersion > 3) t->methods.iVersion = 3;
    t->file.pMethods = &t->methods;
    return SQLITE_OK;
}

// The rest of the layer is the default one's.
sqlite3_vfs* B(sqlite3_vfs* vfs) {
    return static_cast<sqlite3_vfs*>(vfs->pAppData);
}
int Delete(sqlite3_vfs* v, const char* name, int sync) {
    return B(v)->xDelete(B(v), name, sync);
}
int Access(sqlite3_vfs* v, const char* name, int flags, int* out) {
    return B(v)->xAccess(B(v), name, flags, out);
}
int FullPathname(sqlite3_vfs* v, const char* name, int n, char* out) {
    return B(v)->xFullPathname(B(v), name, n, out);
}
void* DlOpen(sqlite3_vfs* v, const char* name) {
    return B(v)->xDlOpen(B(v), name);
}
void DlError(sqlite3_vfs* v, int n, char* out) {
    B(v)->xDlError(B(v), n, out);
}
void (*DlSym(sqlite3_vfs* v, void* handle, const char* symbol))(void) {
    return B(v)->xDlSym(B(v), handle, symbol);
}
void DlClose(sqlite3_vfs* v, void* handle) {
    B(v)->xDlClose(B(v), handle);
}
int Randomness(sqlite3_vfs* v, int n, char* out) {
    return B(v)->xRandomness(B(v), n, out);
}
int Sleep(sqlite3_vfs* v, int microseconds) {
    return B(v)->xSleep(B(v), microseconds);
}
int CurrentTime(sqlite3_vfs* v, double* out) {
    return B(v)->xCurrentTime(B(v), out);
}
int GetLastError(sqlite3_vfs* v, int n, char* out) {
    return B(v)->xGetLastError(B(v), n, out);
}
int CurrentTimeInt64(sqlite3_vfs* v, sqlite3_int64* out) {
    return B(v)->xCurrentTimeInt64(B(v), out);
}
int SetSystemCall(sqlite3_vfs* v, const char* name, sqlite3_syscall_ptr call) {
    return B(v)->xSetSystemCall(B(v), name, call);
}
sqlite3_syscall_ptr GetSystemCall(sqlite3_vfs* v, const char* name) {
    return B(v)->xGetSystemCall(B(v), name);
}
const char* NextSystemCall(sqlite3_vfs* v, const char* name) {
    return B(v)->xNextSystemCall(B(v), name);
}

sqlite3_vfs* Registered() {
    static sqlite3_vfs* vfs = [] {
        sqlite3_initialize();
        sqlite3_vfs* base = Base();
        static sqlite3_vfs layer{};
        layer.iVersion = base->iVersion < 3 ? base->iVersion : 3;
        layer.szOsFile = static_cast<int>(sizeof(TFile)) + base->szOsFile;
        layer.mxPathname = base->mxPathname;
        layer.zName = "quorvath-read-ahead";
        layer.pAppData = base;
        layer.xOpen = Open;
        layer.xDelete = Delete;
        layer.xAccess = Access;
        layer.xFullPathname = FullPathname;
        layer.xDlOpen = DlOpen;
        layer.xDlError = DlError;
        layer.xDlSym = DlSym;
        layer.xDlClose = DlClose;
        layer.xRandomness = Randomness;
        layer.xSleep = Sleep;
        layer.xCurrentTime = CurrentTime;
        layer.xGetLastError = GetLastError;
        if (layer.iVersion >= 2) layer.xCurrentTimeInt64 = CurrentTimeInt64;
        if (layer.iVersion >= 3) {
            layer.xSetSystemCall = SetSystemCall;
            layer.xGetSystemCall = GetSystemCall;
            layer.xNextSystemCall = NextSystemCall;
        }
        return sqlite3_vfs_register(&layer, 0) == SQLITE_OK ? &layer : nullptr;
    }();
    return vfs;
}

void Control(sqlite3* db, int on) {
    if (db) sqlite3_file_control(db, "main", kControlReadAhead, &on);
}

}  // namespace

const char* ReadAheadVfsName() {
    sqlite3_vfs* vfs = Registered();
    return vfs ? vfs->zName : nullptr;
}

ReadAheadScope::ReadAheadScope(sqlite3* db) : db_(db) {
    Control(db_, 1);
}
ReadAheadScope::~ReadAheadScope() {
    Control(db_, 0);
}

ReadAheadCounts ReadAheadCountsOf(sqlite3* db) {
    ReadAheadCounts counts;
    if (db) sqlite3_file_control(db, "main", kControlCounts, &counts);
    return counts;
}

}  // namespace recman
