// The Btrieve call as the access layer makes it: one replaceable entry with the record
// manager's seven arguments and its signed 16-bit status. It answers through the engine recman
// chose (the embedded record manager, or a client library) unless a test or a program puts
// another record manager behind it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

using TBtrCall = std::function<int16_t(uint16_t operation, void* positionBlock, void* dataBuffer,
                                       uint32_t* dataLength, void* keyBuffer, uint8_t keyLength,
                                       int8_t keyNumber)>;

// Makes one Btrieve call through the current entry.
int16_t BtrCall(uint16_t operation, void* positionBlock, void* dataBuffer, uint32_t* dataLength,
                void* keyBuffer, uint8_t keyLength, int8_t keyNumber);

// Why the record manager refused the file of the last failed open, in plain words (UTF-8),
// when the status alone does not say it; empty otherwise, and while another entry than the
// chosen engine's call is in place.
std::string BtrLastErrorDetail();

// Replaces the entry and answers the previous one; an empty function restores the chosen
// engine's call. In a build without the record manager the default entry answers 20
// (Btrieve not loaded).
TBtrCall SetBtrCall(TBtrCall call);

// Puts a call entry in place for the holder's lifetime and restores the previous one after.
class TBtrCallScope {
  public:
    explicit TBtrCallScope(TBtrCall call) : previous_(SetBtrCall(std::move(call))) {}
    ~TBtrCallScope() { SetBtrCall(std::move(previous_)); }
    TBtrCallScope(const TBtrCallScope&) = delete;
    TBtrCallScope& operator=(const TBtrCallScope&) = delete;

  private:
    TBtrCall previous_;
};
