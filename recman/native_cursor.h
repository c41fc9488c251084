// A position block on one of our own files: its currency (logical on a key, physical), the
// scan it is walking, its record locks, and every operation of the Btrieve call on the file.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "recman/cursor.h"
#include "recman/lock_fd.h"
#include "recman/native_file.h"

namespace recman {

class NativeCursor : public Cursor {
  public:
    // Opens path (UTF-8) with the Btrieve open mode and the owner name presented; null with
    // the status on failure.
    static std::unique_ptr<NativeCursor> Open(const std::string& path, int8_t mode,
                                              const std::string& owner, int16_t& status);

    ~NativeCursor() override { ReleaseLocks(); }
    int16_t Execute(Request& request) override;
    int16_t Walk(Request& r, bool step, bool forward, RecordSink& sink) override;
    // Releases every record lock this position block holds (Close, Reset, end of a
    // transaction).
    void ReleaseLocks();

  private:
    NativeCursor() = default;

    int16_t Insert(Request& r);
    int16_t Update(Request& r);
    int16_t Delete(Request& r);
    int16_t GetByKey(Request& r);
    int16_t Step(Request& r);
    int16_t Stat(Request& r);
    int16_t GetPosition(Request& r);
    int16_t GetDirect(Request& r);
    int16_t GetChunk(Request& r);
    int16_t UpdateChunk(Request& r);
    int16_t Unlock(Request& r);
    int16_t SetOwner(Request& r);
    int16_t ClearOwner();
    int16_t GetByPercentage(Request& r);
    int16_t FindPercentage(Request& r);

    // Next entry of the walk along key (-1 physical) from the current position, served from
    // the prefetched batch while nothing changed.
    int16_t NextEntry(int key, bool forward, Entry*& entry);
    // Takes the lock a read asked for; answers 0, 84, 85 or 93.
    int16_t LockRecord(int64_t id, uint16_t bias);
    // 85 when another holds the file through an exclusive transaction.
    int16_t CheckFileFree();
    // 84 when another position block holds a lock on the record.
    int16_t CheckRecordFree(int64_t id);
    int16_t Deliver(Request& r, const std::string& data) const;
    void PutKey(Request& r, int key, const std::string& data) const;
    int16_t CheckKeyRoom(const Request& r, int key) const;
    int16_t CheckLength(uint32_t length) const;
    void BecomeCurrent(int key, Entry& e, bool record);
    int16_t CheckUnchangedKeys(const std::string& newData) const;
    // After the current record changed to data: the place on the current key follows its
    // value there.
    void FollowChangedKey(const std::string& data);
    void DropRecordLocks(int64_t id);
    void ReleaseLock(int64_t id);

    std::shared_ptr<NativeFile> file_;
    LockFd lock_;
    bool readOnly_ = false;
    bool ownerAccess_ = true;

    // Currency.
    bool logical_ = false;
    int key_ = -1;
    std::string keyValue_;
    int64_t seq_ = 0;
    bool physical_ = false;
    int64_t id_ = 0;
    bool current_ = false;  // a record read whole, open to Update, Delete and Update Chunk
    std::string data_;      // that record as it was read

    std::vector<Entry> single_;  // room for one-record fetches
    Entry walked_;               // the last entry a walk read

    // Prefetched walk.
    std::vector<Entry> batch_;
    size_t batchPos_ = 0;
    bool batchValid_ = false;
    int batchKey_ = 0;
    bool batchForward_ = true;
    uint64_t batchChanges_ = 0;
    int batchSize_ = 8;

    // Locks.
    int64_t singleLock_ = 0;
    std::set<int64_t> multiLocks_;

    // Where the last chunk operation on chunkId_ ended ("next in record").
    int64_t chunkId_ = 0;
    uint64_t chunkEnd_ = 0;
};

}  // namespace recman
