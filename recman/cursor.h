// What every kind of file the record manager serves offers behind the Btrieve call: one
// open position block on one file. The call dispatcher owns the open cursors and routes
// each operation to the cursor named by its position block.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace recman {

// One Btrieve call as a cursor sees it, the lock bias split off the operation code.
struct Request {
    uint16_t operation = 0;  // operation code without lock bias (Get Key bias 50 kept)
    uint16_t lockBias = 0;   // 0, 100, 200, 300 or 400
    void* data = nullptr;
    uint32_t* dataLength = nullptr;
    void* key = nullptr;
    uint8_t keyLength = 0;
    int8_t keyNumber = 0;
};

// Where a walk hands its records, one at a time.
class RecordSink {
  public:
    // The record's bytes (valid during the call only), its length and its position as Get
    // Position answers it; false stops the walk on this record.
    virtual bool Take(const uint8_t* record, uint32_t length, const uint8_t* position) = 0;

  protected:
    ~RecordSink() = default;
};

// What Walk answers for a walk the cursor does not offer: read record by record instead.
inline constexpr int16_t kWalkByCalls = -1;

class Cursor {
  public:
    virtual ~Cursor() = default;
    // Every operation on an open file except Open itself; Close (1) ends the cursor's use:
    // after a Close that answered 0 the dispatcher destroys the cursor.
    virtual int16_t Execute(Request& request) = 0;
    // Reads on from the current record as Get Next or Previous on r's key (Step Next or
    // Previous when step) would, call after call, handing each record to sink, until sink
    // answers false (0) or a read answers anything else (that status). The cursor and r's
    // key buffer are left as after the last record read. Only the key fields and the lock
    // bias of r are used; kWalkByCalls when this cursor has no such walk.
    virtual int16_t Walk(Request& r, bool step, bool forward, RecordSink& sink) {
        (void)r, (void)step, (void)forward, (void)sink;
        return kWalkByCalls;
    }
};

}  // namespace recman
