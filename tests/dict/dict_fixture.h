// Dictionary fixtures from text: a description of the file in the record manager utility's
// format (record=, key=, then position=, length=, ..., type=, segment= per key segment) and a
// record source with one record per line of OFFSET:TYPE:VALUE items. TMemoryRecman serves
// such files from memory behind the Btrieve call; BuildBtrieveFile writes a real one with
// tools/btrutil.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "btrieve/btr_call.h"

struct TFixtureSegment {
    uint16_t Position = 1;  // 1-based, as the description gives it
    uint16_t Length = 0;
    uint8_t Type = 0;  // Btrieve key type: 0 string, 1 integer, 11 zstring, 14 unsigned binary
    bool CaseInsensitive = false;
    bool Segmented = false;  // another segment of the same key follows
};

struct TFixtureSpec {
    uint16_t RecordLength = 0;
    int KeyCount = 0;
    std::vector<TFixtureSegment> Segments;
};

// Raises std::runtime_error naming what is wrong.
TFixtureSpec ParseDescription(const std::string& text);

// Lines of items separated by blanks; "#" starts a comment. An item is OFFSET:TYPE:VALUE
// with TYPE one of u8, i16, u16, i32, u32 (decimal or 0x hex), c (one character), z (UTF-8
// text stored as CP1251), oem (UTF-8 text stored as CP866), hex (bytes). Each record starts
// as zero bytes. Raises std::runtime_error with the line number for a bad item.
std::vector<std::string> ParseRecordSource(const std::string& text, uint16_t recordLength);

std::string ReadFixtureFile(const std::string& path);
// The folder of the dictionary fixtures in the source tree.
std::string FixtureDir();

// An in-memory record manager for the operations a dictionary reader makes: Open, Close,
// Stat, Get Equal, Get Next, Get Greater or Equal, Get Position and Get Direct. Installed
// behind the Btrieve call for its lifetime.
class TMemoryRecman {
  public:
    TMemoryRecman();
    ~TMemoryRecman();
    TMemoryRecman(const TMemoryRecman&) = delete;
    TMemoryRecman& operator=(const TMemoryRecman&) = delete;

    void AddFile(const std::string& name, const TFixtureSpec& spec,
                 const std::vector<std::string>& records);
    // Adds the file from a description and a record source in the fixture folder.
    void AddFixture(const std::string& name, const std::string& descFile,
                    const std::string& sourceFile);

    // Operation codes as they were called, lock bias included.
    std::vector<uint16_t> Operations;
    int Count(uint16_t operation) const;
    int OpenFiles() const;

  private:
    struct TFile;
    struct TCursor;
    int16_t Call(uint16_t op, void* pos, void* data, uint32_t* len, void* key, uint8_t keyLen,
                 int8_t keyNum);

    std::map<std::string, std::shared_ptr<TFile>> files_;
    std::map<uint32_t, std::unique_ptr<TCursor>> cursors_;
    uint32_t nextCursor_ = 1;
    TBtrCallScope scope_;
};

// Writes the records as an unformatted file and builds fileName from the description with
// btrutil (-create, then -load). Raises std::runtime_error when a step fails.
void BuildBtrieveFile(const std::string& btrutil, const std::string& fileName,
                      const std::string& descPath, const std::vector<std::string>& records);
