#include "recman/native_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <utility>

#include "recman/btrieve_codes.h"
#include "recman/key_codec.h"
#include "recman/lock_fd.h"
#include "recman/native_shared.h"
#include "recman/native_tally.h"
#include "recman/read_ahead_vfs.h"

namespace recman {
namespace {

// Marks our databases apart from any other SQLite file ("QVRM").
constexpr int kApplicationId = 0x5156524D;
constexpr int kFormatVersion = 1;

}  // namespace

namespace native {

int16_t SqliteStatus(int rc) {
    switch (rc & 0xFF) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW:
            return kOk;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return kFileLocked;
        case SQLITE_FULL:
            return kDiskFull;
        case SQLITE_READONLY:
        case SQLITE_PERM:
            return kAccessDenied;
        case SQLITE_CONSTRAINT:
            return kDuplicateKey;
        default:
            return kIoError;
    }
}

std::map<std::pair<dev_t, ino_t>, std::weak_ptr<NativeFile>>& Registry() {
    static std::map<std::pair<dev_t, ino_t>, std::weak_ptr<NativeFile>> files;
    return files;
}

}  // namespace native

using namespace native;

struct NativeFile::KeyStatements {
    bool unique = true;
    Statement scan[9];
    // Next and Prev for walks: without the key, which costs a column per record.
    Statement walk[2];
    Statement insert, erase, seqOf, count, countBelow, nth, distinct;
};

bool NativeFile::LooksOurs(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[16] = {};
    in.read(header, sizeof header);
    return in.gcount() == 16 && std::memcmp(header, "SQLite format 3", 16) == 0;
}

int16_t NativeFile::Create(const std::string& path, const FileDef& def, bool replace) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        if (!replace) return kFileExists;
        if (S_ISDIR(st.st_mode)) return kInvalidFileName;
        // Replacing a file someone has open would pull it from under them.
        LockFd probe;
        if (probe.Open(path) && probe.Held(kOpenLockByte, true)) return kIncompatibleMode;
    }
    // Built beside the target and renamed over it, so a failure never leaves half a file.
    std::string temp = path + ".new" + std::to_string(::getpid());
    ::unlink(temp.c_str());
    sqlite3* raw = nullptr;
    int rc =
        sqlite3_open_v2(temp.c_str(), &raw,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    SqliteDb db(raw);
    if (rc != SQLITE_OK) {
        ::unlink(temp.c_str());
        return (rc == SQLITE_CANTOPEN) ? kCreateIoError : SqliteStatus(rc);
    }
    std::string sql =
        "PRAGMA page_size=" + std::to_string(def.pageSize < 512 ? 4096 : def.pageSize) +
        ";PRAGMA application_id=" + std::to_string(kApplicationId) +
        ";PRAGMA user_version=" + std::to_string(kFormatVersion) +
        ";PRAGMA journal_mode=WAL;BEGIN;"
        "CREATE TABLE file(spec BLOB NOT NULL, owner BLOB, owner_level INTEGER);"
        "CREATE TABLE records(id INTEGER PRIMARY KEY, data BLOB NOT NULL);" +
        std::string(kRedoDoneTable) + ";";
    for (size_t k = 0; k < def.keys.size(); ++k) {
        std::string t = KeyTableName(static_cast<int>(k));
        if (def.keys[k].Duplicates()) {
            sql += "CREATE TABLE " + t +
                   "(seq INTEGER PRIMARY KEY AUTOINCREMENT, k BLOB NOT NULL, id INTEGER NOT "
                   "NULL);CREATE INDEX " +
                   t + "_k ON " + t + "(k);CREATE INDEX " + t + "_id ON " + t + "(id);";
        } else {
            sql += "CREATE TABLE " + t + "(k BLOB PRIMARY KEY, id INTEGER NOT NULL) WITHOUT ROWID;";
        }
    }
    sql += TallySchema(def);
    rc = Exec(db.get(), sql.c_str());
    if (rc == SQLITE_OK) {
        Statement put(db.get(), "INSERT INTO file(spec, owner, owner_level) VALUES(?1, NULL, -1)");
        put.BindBlob(1, SerializeFileSpec(def));
        rc = put.Step();
        if (rc == SQLITE_DONE) rc = Exec(db.get(), "COMMIT");
    }
    db.reset();
    if (rc != SQLITE_OK) {
        ::unlink(temp.c_str());
        return kCreateIoError;
    }
    // A journal left by a crash of the replaced file must not be applied to the new one.
    ::unlink((path + "-wal").c_str());
    ::unlink((path + "-shm").c_str());
    ::unlink(RedoPathOf(path).c_str());
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return kCreateIoError;
    }
    return kOk;
}

std::shared_ptr<NativeFile> NativeFile::Open(const std::string& path, int16_t& status,
                                             bool recover) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        status = kFileNotFound;
        return nullptr;
    }
    auto id = std::make_pair(st.st_dev, st.st_ino);
    auto& registry = Registry();
    if (auto it = registry.find(id); it != registry.end()) {
        // A forked child never shares the connection its parent opened.
        auto shared = it->second.lock();
        if (shared && shared->pid_ == ::getpid()) {
            status = kOk;
            return shared;
        }
    }
    std::shared_ptr<NativeFile> file(new NativeFile);
    file->path_ = path;
    file->folder_ = FolderOf(path);
    file->name_ = BaseNameOf(path);
    struct stat folder;
    if (::stat(file->folder_.c_str(), &folder) == 0) {
        file->folderDev_ = folder.st_dev;
        file->folderIno_ = folder.st_ino;
    }
    file->dev_ = st.st_dev;
    file->ino_ = st.st_ino;
    file->pid_ = ::getpid();
    sqlite3* raw = nullptr;
    // Walks read the file a window at a time (see read_ahead_vfs.h).
    const char* vfs = ReadAheadVfsName();
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, vfs);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(raw);
        raw = nullptr;
        file->writable_ = false;
        rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, vfs);
    }
    file->db_.reset(raw);
    status = rc == SQLITE_OK ? file->Prepare() : kIoError;
    if ((status == kIoError || status == kAccessDenied) && ::access(path.c_str(), W_OK) != 0) {
        // A file we may not write, in a place where the log and its index cannot be made
        // (a read-only medium, another user's folder such as the installed examples): read
        // it as it stands.
        file->keys_.clear();
        file->physical_.reset();
        file->db_.reset();
        file->writable_ = false;
        std::string uri = "file:";
        for (char c : path) {
            if (c == '?' || c == '#' || c == '%') {
                char hex[4];
                std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
                uri += hex;
            } else {
                uri += c;
            }
        }
        uri += "?immutable=1";
        raw = nullptr;
        rc = sqlite3_open_v2(uri.c_str(), &raw,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, vfs);
        file->db_.reset(raw);
        status = rc == SQLITE_OK ? file->Prepare() : kIoError;
    }
    if (status != kOk) return nullptr;
    // A transaction over several files that a crash cut short may have left its changes for
    // this file beside it. A file busy with a live writer is left to that writer, and one
    // whose redo file cannot be replayed still opens for reading: each write then answers
    // the failure.
    struct stat redo;
    if (recover && file->writable_ && ::lstat(RedoPathOf(path).c_str(), &redo) == 0)
        file->RecoverNow(false);
    registry[id] = file;
    return file;
}

void NativeFile::UseFullCache() {
    if (fullCache_) return;
    fullCache_ = true;
    // Random reads and index inserts profit from a memory map and a page cache large enough
    // for the indexes of a few million records; both are limits, not allocations.
    Exec(db_.get(), "PRAGMA mmap_size=1073741824");
    Exec(db_.get(), "PRAGMA cache_size=-65536");
}

NativeFile::~NativeFile() {
    if (inTransaction_ && pid_ == ::getpid()) Rollback();
    if (pid_ == ::getpid()) EndRead();
    if (shm_) ::munmap(shm_, 136);
    if (shmFd_ >= 0) ::close(shmFd_);
    auto& registry = Registry();
    auto it = registry.find({dev_, ino_});
    if (it != registry.end() && it->second.expired()) registry.erase(it);
}

int16_t NativeFile::Prepare() {
    sqlite3* db = db_.get();
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // WAL with synchronous=NORMAL: a commit is in the log before the call returns, so it
    // survives the death of the process; only a loss of power may drop the latest commits,
    // never the consistency of the file.
    // QUORVATH_RECMAN_SYNC=full makes every commit wait for the disk as well (power-loss safe,
    // at the price of one flush per acknowledged write outside a transaction).
    Exec(db, SyncEveryCommit() ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL");
    // A file starts with the settings of a reader that walks it once (the export, the
    // dictionary): a 512 KB page cache and no memory map, so the process's memory stays
    // bounded whatever the file's size (a mapped file's pages count against the process as
    // they are touched). A walk reads each page once; what it meets again are the inner pages
    // of the b-trees, which for a file of some 150 MB fit in these 128 pages (beyond, a walk
    // in key order out of the records' order reads some of them again from the system's
    // cache). A larger cache mostly costs the allocating of memory the system hands over
    // page by page: 16 MB made a walk 15 % slower, 2 MB 3 to 7 % slower than this (10 % for
    // two exports at once). A position block opened for changes raises them (UseFullCache).
    Exec(db, "PRAGMA mmap_size=0");
    Exec(db, "PRAGMA cache_size=-512");
    {
        Statement appId(db, "PRAGMA application_id");
        if (!appId.Valid()) return kNotBtrieveFile;  // not a database at all
        int rc = appId.Step();
        if (rc != SQLITE_ROW) return rc == SQLITE_NOTADB ? kNotBtrieveFile : SqliteStatus(rc);
        if (appId.Int(0) != kApplicationId) return kNotBtrieveFile;
    }
    Statement spec(db, "SELECT spec, owner, owner_level FROM file");
    if (!spec.Valid() || spec.Step() != SQLITE_ROW) return kNotBtrieveFile;
    std::string_view bytes = spec.Blob(0);
    if (ParseFileSpec(reinterpret_cast<const uint8_t*>(bytes.data()),
                      static_cast<uint32_t>(bytes.size()), def_) != kOk)
        return kIoError;
    owner_ = std::string(spec.Blob(1));
    ownerLevel_ = static_cast<int>(spec.Int(2));
    spec.Reset();

    readRecord_ = Statement(db, "SELECT data FROM records WHERE id=?1");
    insertRecord_ = Statement(db, "INSERT INTO records(data) VALUES(?1)");
    updateRecord_ = Statement(db, "UPDATE records SET data=?2 WHERE id=?1");
    deleteRecord_ = Statement(db, "DELETE FROM records WHERE id=?1");

    physical_ = std::make_unique<KeyStatements>();
    {
        auto& p = *physical_;
        const std::string base = "SELECT NULL, 0, id, data FROM records ";
        p.scan[int(Scan::kFirst)] = Statement(db, base + "ORDER BY id LIMIT ?3");
        p.scan[int(Scan::kLast)] = Statement(db, base + "ORDER BY id DESC LIMIT ?3");
        p.scan[int(Scan::kNext)] = Statement(db, base + "WHERE id>?4 ORDER BY id LIMIT ?3");
        p.scan[int(Scan::kPrev)] = Statement(db, base + "WHERE id<?4 ORDER BY id DESC LIMIT ?3");
        p.walk[0] = Statement(db, "SELECT id, data FROM records WHERE id>?4 ORDER BY id");
        p.walk[1] = Statement(db, "SELECT id, data FROM records WHERE id<?4 ORDER BY id DESC");
        p.count = Statement(db, "SELECT count(*) FROM records");
        // Files made before the tally have none: they are counted by walking them.
        tally_ = Statement(db, "SELECT n FROM tally WHERE name=?1");
        p.countBelow = Statement(db, "SELECT count(*) FROM records WHERE id<?4");
        p.nth = Statement(db, base + "ORDER BY id LIMIT 1 OFFSET ?3");
    }
    for (size_t k = 0; k < def_.keys.size(); ++k) {
        auto ks = std::make_unique<KeyStatements>();
        std::string t = KeyTableName(static_cast<int>(k));
        ks->unique = !def_.keys[k].Duplicates();
        std::string base = "SELECT x.k, " + std::string(ks->unique ? "0" : "x.seq") +
                           ", r.id, r.data FROM " + t +
                           " AS x CROSS JOIN records AS r ON r.id=x.id ";
        std::string up = ks->unique ? "ORDER BY x.k" : "ORDER BY x.k, x.seq";
        std::string down = ks->unique ? "ORDER BY x.k DESC" : "ORDER BY x.k DESC, x.seq DESC";
        std::string after = ks->unique ? "x.k>?1 " : "(x.k, x.seq)>(?1, ?2) ";
        std::string before = ks->unique ? "x.k<?1 " : "(x.k, x.seq)<(?1, ?2) ";
        ks->scan[int(Scan::kFirst)] = Statement(db, base + up + " LIMIT ?3");
        ks->scan[int(Scan::kLast)] = Statement(db, base + down + " LIMIT ?3");
        ks->scan[int(Scan::kNext)] = Statement(db, base + "WHERE " + after + up + " LIMIT ?3");
        ks->scan[int(Scan::kPrev)] = Statement(db, base + "WHERE " + before + down + " LIMIT ?3");
        ks->scan[int(Scan::kGe)] = Statement(db, base + "WHERE x.k>=?1 " + up + " LIMIT ?3");
        ks->scan[int(Scan::kEq)] = Statement(db, base + "WHERE x.k=?1 " + up + " LIMIT ?3");
        ks->scan[int(Scan::kGt)] = Statement(db, base + "WHERE x.k>?1 " + up + " LIMIT ?3");
        ks->scan[int(Scan::kLe)] = Statement(db, base + "WHERE x.k<=?1 " + down + " LIMIT ?3");
        ks->scan[int(Scan::kLt)] = Statement(db, base + "WHERE x.k<?1 " + down + " LIMIT ?3");
        // The sequence comes first where there is one.
        const std::string walk = "SELECT " + std::string(ks->unique ? "" : "x.seq, ") +
                                 "r.id, r.data FROM " + t +
                                 " AS x CROSS JOIN records AS r ON r.id=x.id WHERE ";
        ks->walk[0] = Statement(db, walk + after + up);
        ks->walk[1] = Statement(db, walk + before + down);
        ks->insert = Statement(db, "INSERT INTO " + t + "(k, id) VALUES(?1, ?2)");
        ks->erase = Statement(db, ks->unique ? "DELETE FROM " + t + " WHERE k=?1"
                                             : "DELETE FROM " + t + " WHERE id=?2");
        if (!ks->unique) ks->seqOf = Statement(db, "SELECT seq FROM " + t + " WHERE id=?1");
        ks->count = Statement(db, "SELECT count(*) FROM " + t);
        ks->countBelow = Statement(db, "SELECT count(*) FROM " + t + " AS x WHERE " + before);
        ks->nth = Statement(db, base + up + " LIMIT 1 OFFSET ?3");
        ks->distinct = Statement(
            db, ks->unique ? "SELECT count(*) FROM " + t : "SELECT count(DISTINCT k) FROM " + t);
        for (auto& s : ks->scan)
            if (!s.Valid()) return kIoError;
        for (auto& s : ks->walk)
            if (!s.Valid()) return kIoError;
        if (!ks->insert.Valid() || !ks->erase.Valid() || !ks->count.Valid()) return kIoError;
        keys_.push_back(std::move(ks));
    }
    if (!readRecord_.Valid() || !insertRecord_.Valid()) return kIoError;
    const char* control[] = {"BEGIN IMMEDIATE", "COMMIT",         "ROLLBACK", "SAVEPOINT op",
                             "RELEASE op",      "ROLLBACK TO op", "BEGIN"};
    for (int i = 0; i < 7; ++i) {
        control_[i] = Statement(db, control[i]);
        if (!control_[i].Valid()) return kIoError;
    }
    return kOk;
}

Statement* NativeFile::BindScan(int key, Scan scan, const std::string& from, int64_t seq,
                                int limit) {
    EnterRead();
    KeyStatements* ks = key < 0 ? physical_.get() : keys_.at(key).get();
    Statement& s = ks->scan[int(scan)];
    if (!s.Valid()) return nullptr;
    if (key < 0) {
        s.BindInt(3, limit);
        if (scan == Scan::kNext || scan == Scan::kPrev) s.BindInt(4, seq);
    } else {
        s.BindBlob(1, from);
        s.BindInt(2, seq);
        s.BindInt(3, limit);
    }
    return &s;
}

int16_t NativeFile::Fetch(int key, Scan scan, const std::string& from, int64_t seq, int limit,
                          std::vector<Entry>& out) {
    Statement* s = BindScan(key, scan, from, seq, limit);
    if (!s) return kInvalidOperation;
    int rc;
    // The entries are reused from call to call, so a walk allocates nothing per record.
    size_t n = 0;
    // The physical order and a unique key have no sequence: the column is a constant zero.
    const bool sequenced = key >= 0 && !keys_[key]->unique;
    while ((rc = s->Step()) == SQLITE_ROW) {
        if (n == out.size()) out.emplace_back();
        Entry& e = out[n++];
        e.key.assign(s->Blob(0));
        e.seq = sequenced ? s->Int(1) : 0;
        e.id = s->Int(2);
        e.data.assign(s->Blob(3));
    }
    out.resize(n);
    s->Reset();
    return rc == SQLITE_DONE ? kOk : SqliteStatus(rc);
}

int16_t NativeFile::Walk(int key, Scan scan, const std::string& from, int64_t seq,
                         EntryVisitor& visitor) {
    if (scan != Scan::kNext && scan != Scan::kPrev) return kInvalidOperation;
    EnterRead();
    KeyStatements* ks = key < 0 ? physical_.get() : keys_.at(key).get();
    Statement& s = ks->walk[scan == Scan::kNext ? 0 : 1];
    if (!s.Valid()) return kInvalidOperation;
    if (key < 0) {
        s.BindInt(4, seq);
    } else {
        s.BindBlob(1, from);
        if (!ks->unique) s.BindInt(2, seq);
    }
    int rc;
    const bool sequenced = key >= 0 && !ks->unique;
    EntryView e;
    // One read transaction from the first step to the reset.
    ReadAheadScope ahead(db_.get());
    const int at = sequenced ? 1 : 0;
    while ((rc = s.Step()) == SQLITE_ROW) {
        if (sequenced) e.seq = s.Int(0);
        e.id = s.Int(at);
        e.data = s.Blob(at + 1);
        if (!visitor.Visit(e)) {
            rc = SQLITE_DONE;
            break;
        }
    }
    s.Reset();
    return rc == SQLITE_DONE ? kOk : SqliteStatus(rc);
}

int16_t NativeFile::ReadRecord(int64_t id, std::string& data, bool& found) {
    EnterRead();
    readRecord_.BindInt(1, id);
    int rc = readRecord_.Step();
    found = rc == SQLITE_ROW;
    if (found) data.assign(readRecord_.Blob(0));
    readRecord_.Reset();
    return (rc == SQLITE_ROW || rc == SQLITE_DONE) ? kOk : SqliteStatus(rc);
}

int16_t NativeFile::SharedRecord(int64_t id, const std::string*& data) {
    EnterRead();
    data = nullptr;
    if (id == 0 || sharedId_ != id || sharedAt_ != changes_ + snapshots_) {
        sharedId_ = 0;
        bool found = false;
        if (int16_t st = ReadRecord(id, shared_, found)) return st;
        if (!found) return kOk;
        sharedId_ = id;
        sharedAt_ = changes_ + snapshots_;
    }
    data = &shared_;
    return kOk;
}

int16_t NativeFile::SequenceOf(int key, int64_t id, int64_t& seq) {
    EnterRead();
    seq = 0;
    KeyStatements& ks = *keys_.at(key);
    if (ks.unique) return kOk;
    ks.seqOf.BindInt(1, id);
    int rc = ks.seqOf.Step();
    if (rc == SQLITE_ROW) seq = ks.seqOf.Int(0);
    ks.seqOf.Reset();
    return (rc == SQLITE_ROW || rc == SQLITE_DONE) ? kOk : SqliteStatus(rc);
}

int16_t NativeFile::Tally(const std::string& name, int64_t& count, bool& kept) {
    kept = tally_.Valid();
    if (!kept) return kOk;
    tally_.BindText(1, name);
    int rc = tally_.Step();
    count = rc == SQLITE_ROW ? tally_.Int(0) : 0;
    tally_.Reset();
    return rc == SQLITE_ROW ? kOk : SqliteStatus(rc);
}

int16_t NativeFile::Count(int key, int64_t& count) {
    EnterRead();
    if (key < 0) {
        bool kept = false;
        if (int16_t st = Tally(kTallyRecords, count, kept); st || kept) return st;
    }
    Statement& s = key < 0 ? physical_->count : keys_.at(key)->count;
    int rc = s.Step();
    count = rc == SQLITE_ROW ? s.Int(0) : 0;
    s.Reset();
    return rc == SQLITE_ROW ? kOk : SqliteStatus(rc);
}

int16_t NativeFile::CountBelow(int key, const std::string& k, int64_t seq, int64_t& count) {
    EnterRead();
    Statement& s = key < 0 ? physical_->countBelow : keys_.at(key)->countBelow;
    if (key < 0) {
        s.BindInt(4, seq);
    } else {
        s.BindBlob(1, k);
        s.BindInt(2, seq);
    }
    int rc = s.Step();
    count = rc == SQLITE_ROW ? s.Int(0) : 0;
    s.Reset();
    return rc == SQLITE_ROW ? kOk : SqliteStatus(rc);
}

int16_t NativeFile::Nth(int key, int64_t n, Entry& out, bool& found) {
    EnterRead();
    Statement& s = key < 0 ? physical_->nth : keys_.at(key)->nth;
    s.BindInt(3, n);
    int rc = s.Step();
    found = rc == SQLITE_ROW;
    if (found) {
        out.key.assign(s.Blob(0));
        out.seq = s.Int(1);
        out.id = s.Int(2);
        out.data.assign(s.Blob(3));
    }
    s.Reset();
    return (rc == SQLITE_ROW || rc == SQLITE_DONE) ? kOk : SqliteStatus(rc);
}

int16_t NativeFile::DistinctCount(int key, int64_t& count) {
    EnterRead();
    bool kept = false;
    if (int16_t st = Tally(KeyTableName(key), count, kept); st || kept) return st;
    Statement& s = keys_.at(key)->distinct;
    int rc = s.Step();
    count = rc == SQLITE_ROW ? s.Int(0) : 0;
    s.Reset();
    return rc == SQLITE_ROW ? kOk : SqliteStatus(rc);
}

bool NativeFile::MapWalIndex() {
    if (shm_) return true;
    if (shmFd_ == -2) return false;  // tried before: not available
    shmFd_ = ::open((path_ + "-shm").c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (shmFd_ < 0 || ::fstat(shmFd_, &st) != 0 || st.st_size < 136) {
        if (shmFd_ >= 0) ::close(shmFd_);
        shmFd_ = -2;
        return false;
    }
    void* p = ::mmap(nullptr, 136, PROT_READ, MAP_SHARED, shmFd_, 0);
    if (p == MAP_FAILED) {
        ::close(shmFd_);
        shmFd_ = -2;
        return false;
    }
    shm_ = p;
    return true;
}

void NativeFile::EnterRead() {
    if (writing_ || inTransaction_) return;
    if (!MapWalIndex()) {
        ++snapshots_;  // each read may see another process's commits
        return;
    }
    unsigned char now[48];
    std::memcpy(now, shm_, sizeof now);
    __atomic_thread_fence(__ATOMIC_ACQUIRE);
    if (reading_) {
        if (std::memcmp(now, readHeader_, sizeof now) == 0) return;
        EndRead();
    }
    // The header is taken before the snapshot begins: a commit in between only makes the
    // next check refresh once more.
    ++snapshots_;
    if (Control(kBeginRead) != SQLITE_OK) return;
    std::memcpy(readHeader_, now, sizeof now);
    reading_ = true;
}

void NativeFile::EndRead() {
    if (!reading_) return;
    reading_ = false;
    Control(kCommit);
}

int NativeFile::Control(ControlStatement which) {
    Statement& s = control_[static_cast<int>(which)];
    int rc = s.Step();
    s.Reset();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int16_t NativeFile::BeginWrite() {
    if (!writable_) return kAccessDenied;
    EndRead();
    int16_t st = StartWrite();
    writing_ = st == kOk;
    return st;
}

int16_t NativeFile::FinishWrite(int16_t status) {
    writing_ = false;
    if (inTransaction_) {
        if (status != kOk) Control(kRollbackTo);
        Control(kRelease);
    } else if (status == kOk) {
        int rc = Control(kCommit);
        if (rc != SQLITE_OK) {
            Control(kRollback);
            status = SqliteStatus(rc);
        }
    } else {
        Control(kRollback);
    }
    ++changes_;
    return status;
}

int16_t NativeFile::NextAutoincrement(int key, std::string& data) {
    const KeyDef& kd = def_.keys[key];
    const KeySegment& s = kd.segments.front();
    const size_t end = s.position - 1u + s.length;
    if (data.size() < end) return kDataBufferTooShort;
    uint64_t value = 0;
    for (int i = 0; i < s.length; ++i)
        value |= uint64_t{static_cast<uint8_t>(data[s.position - 1 + i])} << (8 * i);
    if (value != 0) return kOk;
    std::vector<Entry> last;
    int16_t st = Fetch(key, Scan::kLast, {}, 0, 1, last);
    if (st != kOk) return st;
    int64_t highest = 0;
    if (!last.empty()) {
        if (last[0].data.size() < end) return kIoError;  // a damaged record
        uint64_t raw = 0;
        for (int i = 0; i < s.length; ++i)
            raw |= uint64_t{static_cast<uint8_t>(last[0].data[s.position - 1 + i])} << (8 * i);
        int shift = 64 - 8 * s.length;
        highest = shift ? static_cast<int64_t>(raw << shift) >> shift : static_cast<int64_t>(raw);
    }
    uint64_t next = static_cast<uint64_t>(highest < 0 ? 1 : highest + 1);
    for (int i = 0; i < s.length; ++i)
        data[s.position - 1 + i] = static_cast<char>(next >> (8 * i));
    return kOk;
}

int16_t NativeFile::AddKeys(const std::string& data, int64_t id, int, const std::string* oldData) {
    std::string& image = scratch_[0];
    std::string& oldImage = scratch_[1];
    std::string& encoded = scratch_[2];
    for (size_t k = 0; k < def_.keys.size(); ++k) {
        const KeyDef& kd = def_.keys[k];
        KeyStatements& ks = *keys_[k];
        ExtractKeyImage(kd, data, image);
        bool isNull = IsNullKey(kd, image);
        if (oldData) {
            ExtractKeyImage(kd, *oldData, oldImage);
            bool wasNull = IsNullKey(kd, oldImage);
            // An unchanged key keeps its entry and so its place among duplicates.
            if (oldImage == image) continue;
            if (!wasNull) {
                EncodeKey(kd, def_, oldImage, encoded);
                ks.erase.BindBlob(1, encoded);
                ks.erase.BindInt(2, id);
                int rc = ks.erase.Step();
                ks.erase.Reset();
                if (rc != SQLITE_DONE) return SqliteStatus(rc);
            }
        }
        if (isNull) continue;
        EncodeKey(kd, def_, image, encoded);
        ks.insert.BindBlob(1, encoded);
        ks.insert.BindInt(2, id);
        int rc = ks.insert.Step();
        ks.insert.Reset();
        if (rc != SQLITE_DONE) return SqliteStatus(rc);
    }
    return kOk;
}

int16_t NativeFile::PutRecord(const std::string& data, int64_t at, int64_t& id) {
    int rc;
    if (at > 0) {
        Statement put(db_.get(), "INSERT INTO records(id, data) VALUES(?1, ?2)");
        put.BindInt(1, at);
        put.BindBlob(2, data);
        rc = put.Step();
    } else {
        insertRecord_.BindBlob(1, data);
        rc = insertRecord_.Step();
        insertRecord_.Reset();
    }
    id = sqlite3_last_insert_rowid(db_.get());
    if (rc != SQLITE_DONE) return SqliteStatus(rc);
    if (id <= 0 || id > 0xFFFFFFFFll) return kDiskFull;  // no 32-bit position left
    return AddKeys(data, id, 0, nullptr);
}

int16_t NativeFile::ChangeRecord(int64_t id, const std::string& stored,
                                 const std::string& newData) {
    updateRecord_.BindInt(1, id);
    updateRecord_.BindBlob(2, newData);
    int rc = updateRecord_.Step();
    updateRecord_.Reset();
    if (rc != SQLITE_DONE) return SqliteStatus(rc);
    return AddKeys(newData, id, 0, &stored);
}

int16_t NativeFile::Insert(std::string& data, int64_t& id) {
    int16_t st = BeginWrite();
    if (st != kOk) return st;
    for (size_t k = 0; k < def_.keys.size() && st == kOk; ++k)
        if (def_.keys[k].Autoincrement()) st = NextAutoincrement(static_cast<int>(k), data);
    if (st == kOk) st = PutRecord(data, 0, id);
    if (st == kOk && inTransaction_) st = Remember(RedoOp::kInsert, id, data);
    return FinishWrite(st);
}

int16_t NativeFile::Update(int64_t id, const std::string& oldData, std::string& newData) {
    int16_t st = BeginWrite();
    if (st != kOk) return st;
    std::string stored;
    bool found = false;
    st = ReadRecord(id, stored, found);
    if (st == kOk && !found) st = kInvalidPositioning;
    // Changed by someone else since this position block read it.
    if (st == kOk && stored != oldData) st = kConflict;
    if (st == kOk) st = ChangeRecord(id, stored, newData);
    if (st == kOk && inTransaction_) st = Remember(RedoOp::kUpdate, id, newData);
    return FinishWrite(st);
}

int16_t NativeFile::Delete(int64_t id, const std::string& oldData) {
    int16_t st = BeginWrite();
    if (st != kOk) return st;
    std::string stored;
    bool found = false;
    st = ReadRecord(id, stored, found);
    if (st == kOk && !found) st = kInvalidPositioning;
    if (st == kOk && stored != oldData) st = kConflict;
    if (st == kOk) st = RemoveRecord(id, stored);
    if (st == kOk && inTransaction_) st = Remember(RedoOp::kDelete, id, {});
    return FinishWrite(st);
}

int16_t NativeFile::RemoveRecord(int64_t id, const std::string& stored) {
    int16_t st = kOk;
    std::string image, encoded;
    for (size_t k = 0; k < def_.keys.size() && st == kOk; ++k) {
        const KeyDef& kd = def_.keys[k];
        ExtractKeyImage(kd, stored, image);
        if (IsNullKey(kd, image)) continue;
        EncodeKey(kd, def_, image, encoded);
        KeyStatements& ks = *keys_[k];
        ks.erase.BindBlob(1, encoded);
        ks.erase.BindInt(2, id);
        int rc = ks.erase.Step();
        ks.erase.Reset();
        if (rc != SQLITE_DONE) st = SqliteStatus(rc);
    }
    if (st == kOk) {
        deleteRecord_.BindInt(1, id);
        int rc = deleteRecord_.Step();
        deleteRecord_.Reset();
        if (rc != SQLITE_DONE) st = SqliteStatus(rc);
    }
    return st;
}

int16_t NativeFile::SetOwner(const std::string& owner, int level) {
    int16_t st = BeginWrite();
    if (st != kOk) return st;
    Statement s(db_.get(), "UPDATE file SET owner=?1, owner_level=?2");
    s.BindBlob(1, owner);
    s.BindInt(2, level);
    int rc = s.Step();
    st = FinishWrite(rc == SQLITE_DONE ? kOk : SqliteStatus(rc));
    if (st == kOk) {
        owner_ = owner;
        ownerLevel_ = level;
    }
    return st;
}

int16_t NativeFile::ClearOwner() {
    int16_t st = BeginWrite();
    if (st != kOk) return st;
    int rc = Exec(db_.get(), "UPDATE file SET owner=NULL, owner_level=-1");
    st = FinishWrite(rc == SQLITE_OK ? kOk : SqliteStatus(rc));
    if (st == kOk) {
        owner_.clear();
        ownerLevel_ = -1;
    }
    return st;
}

}  // namespace recman
