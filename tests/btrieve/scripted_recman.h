// A scripted record manager for tests: every Btrieve call is recorded (arguments and copies of
// the buffers as they went in) and answered by the test's script, which may also fill the
// buffers. Installing it replaces the call entry for the object's lifetime.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "btrieve/btr_call.h"

struct TRecordedCall {
    uint16_t Operation = 0;
    void* PositionBlock = nullptr;
    void* Data = nullptr;
    uint32_t* DataLength = nullptr;
    uint32_t DataLengthIn = 0;
    std::string DataIn;  // the first DataLengthIn bytes of the data buffer (at most 64 KiB)
    void* Key = nullptr;
    uint8_t KeyLength = 0;
    std::string KeyIn;  // the KeyLength bytes of the key buffer
    int8_t KeyNumber = 0;
};

class TScriptedRecman {
  public:
    using TAnswer = std::function<int16_t(TRecordedCall& call)>;

    explicit TScriptedRecman(TAnswer answer = nullptr)
        : answer_(std::move(answer)),
          scope_([this](uint16_t op, void* pos, void* data, uint32_t* len, void* key,
                        uint8_t keyLen, int8_t keyNum) {
              TRecordedCall call;
              call.Operation = op;
              call.PositionBlock = pos;
              call.Data = data;
              call.DataLength = len;
              call.DataLengthIn = len ? *len : 0;
              if (data && len && *len <= 65536)
                  call.DataIn.assign(static_cast<const char*>(data), *len);
              call.Key = key;
              call.KeyLength = keyLen;
              if (key && keyLen) call.KeyIn.assign(static_cast<const char*>(key), keyLen);
              call.KeyNumber = keyNum;
              Calls.push_back(call);
              return answer_ ? answer_(call) : int16_t{0};
          }) {}

    void SetAnswer(TAnswer answer) { answer_ = std::move(answer); }

    // Answers the statuses in turn, then 0.
    void AnswerStatuses(std::vector<int16_t> statuses) {
        auto next = std::make_shared<size_t>(0);
        answer_ = [statuses, next](TRecordedCall&) -> int16_t {
            return *next < statuses.size() ? statuses[(*next)++] : int16_t{0};
        };
    }

    std::vector<TRecordedCall> Calls;

  private:
    TAnswer answer_;
    TBtrCallScope scope_;
};

// A stat answer for a file of the given record length and keys; each key is a list of
// segment lengths (positions follow one another from 1).
inline std::string MakeStat(uint16_t recordLength, const std::vector<std::vector<uint16_t>>& keys,
                            uint16_t fileFlags = 0, uint32_t records = 0) {
    std::string stat(2185, '\0');
    auto put16 = [&stat](size_t at, uint16_t v) {
        stat[at] = static_cast<char>(v & 0xFF);
        stat[at + 1] = static_cast<char>(v >> 8);
    };
    put16(0, recordLength);
    put16(4, static_cast<uint16_t>(keys.size()));
    for (int i = 0; i < 4; ++i) stat[6 + i] = static_cast<char>((records >> (8 * i)) & 0xFF);
    put16(10, fileFlags);
    size_t seg = 1;
    uint16_t position = 1;
    for (const auto& key : keys) {
        for (size_t i = 0; i < key.size(); ++i, ++seg) {
            size_t at = 16 * seg;
            put16(at, position);
            put16(at + 2, key[i]);
            put16(at + 4, i + 1 < key.size() ? 0x0010 : 0);
            stat[at + 10] = static_cast<char>(seg);  // extended type, to tell segments apart
            stat[at + 11] = static_cast<char>(0x20 + seg);
            position = static_cast<uint16_t>(position + key[i]);
        }
    }
    return stat;
}
