// The Btrieve call's dispatcher: owns every open cursor of the process and finds the one a
// position block names. The block holds a magic, a slot and the slot's generation, so a block
// that was closed, reset or never opened answers status 3.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "recman/cursor.h"

namespace recman {

// How a caller spells the file names it puts in the key buffer of Open and Create: the system's
// code page (CP1251), or UTF-8 as the operating system does.
enum class FileNames { Ansi, Utf8 };

// One call into the process's dispatcher; calls from several threads take turns.
int16_t DispatchCall(FileNames names, uint16_t operation, void* positionBlock, void* dataBuffer,
                     uint32_t* dataLength, void* keyBuffer, uint8_t keyLength, int8_t keyNumber);

// Why the last Open on this thread refused its file, in plain words (UTF-8) when the status
// alone does not say it ("Not supported: compressed records"); empty after a successful open
// and for a refusal the status says all.
std::string LastOpenDetail();

class Dispatcher {
  public:
    static Dispatcher& Instance();

    int16_t Call(FileNames names, uint16_t operation, void* positionBlock, void* dataBuffer,
                 uint32_t* dataLength, void* keyBuffer, uint8_t keyLength, int8_t keyNumber);

  private:
    struct Slot {
        uint32_t generation = 0;
        std::unique_ptr<Cursor> cursor;
    };

    int16_t Open(FileNames names, void* positionBlock, void* dataBuffer, uint32_t* dataLength,
                 void* keyBuffer, uint8_t keyLength, int8_t mode);
    int16_t Create(FileNames names, void* dataBuffer, uint32_t* dataLength, void* keyBuffer,
                   uint8_t keyLength, int8_t mode);
    int16_t Version(void* dataBuffer, uint32_t* dataLength);
    int16_t EndOrAbort(bool commit);
    void Reset();
    Slot* Find(const void* positionBlock);
    void ReleaseAllLocks();

    std::vector<Slot> slots_;
};

}  // namespace recman
