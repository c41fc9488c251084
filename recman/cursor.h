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

class Cursor {
  public:
    virtual ~Cursor() = default;
    // Every operation on an open file except Open itself; Close (1) ends the cursor's use:
    // after a Close that answered 0 the dispatcher destroys the cursor.
    virtual int16_t Execute(Request& request) = 0;
};

}  // namespace recman
