// Helpers of the reader's tests: the sample files kept beside the tests, and a cursor
// wrapper that issues one Btrieve operation and keeps what it returned.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "recman/cursor.h"
#include "recman/real/bytes.h"
#include "recman/real/real_file.h"

namespace realtest {

inline std::string SamplePath(const std::string& name) {
    return std::string(QUORVATH_SOURCE_DIR) + "/tests/recman_real/samples/" + name;
}

// A file of the shared real-world samples, beside the source tree (CI lays them there).
inline std::string SharedSamplePath(const std::string& relative) {
    return std::string(QUORVATH_SHARED_SAMPLES) + "/" + relative;
}

struct TCall {
    int16_t status = -1;
    std::vector<uint8_t> data;  // the bytes the data length says were returned
    std::vector<uint8_t> key;   // the whole key buffer after the call
};

class TOpenFile {
  public:
    explicit TOpenFile(const std::string& path, int8_t mode = 0) {
        cursor = recman::real::OpenRealFile(path, mode, "", openStatus);
    }

    // One operation with a data buffer of capacity bytes (in holds its first bytes) and a
    // key buffer of keyCapacity bytes (key holds its first bytes).
    TCall Call(uint16_t operation, int8_t keyNumber, uint32_t capacity = 70000,
               const std::vector<uint8_t>& in = {}, const std::vector<uint8_t>& key = {},
               uint8_t keyCapacity = 255) {
        std::vector<uint8_t> data(capacity, 0xEE);
        std::copy_n(in.begin(), std::min<size_t>(in.size(), capacity), data.begin());
        std::vector<uint8_t> keyBuffer(keyCapacity, 0xEE);
        std::copy_n(key.begin(), std::min<size_t>(key.size(), keyCapacity), keyBuffer.begin());
        uint32_t length = capacity;
        recman::Request r;
        r.operation = operation;
        r.data = data.data();
        r.dataLength = &length;
        r.key = keyBuffer.data();
        r.keyLength = keyCapacity;
        r.keyNumber = keyNumber;
        TCall call;
        call.status = cursor->Execute(r);
        data.resize(std::min<uint32_t>(length, capacity));
        call.data = std::move(data);
        call.key = std::move(keyBuffer);
        return call;
    }

    // Every record along key k (Get First, then Get Next until status 9).
    std::vector<std::vector<uint8_t>> Walk(int8_t k, bool backwards = false) {
        std::vector<std::vector<uint8_t>> records;
        for (TCall c = Call(backwards ? 13 : 12, k); c.status == 0; c = Call(backwards ? 7 : 6, k))
            records.push_back(c.data);
        return records;
    }

    // Every record in physical order (Step First, then Step Next).
    std::vector<std::vector<uint8_t>> StepAll() {
        std::vector<std::vector<uint8_t>> records;
        for (TCall c = Call(33, 0); c.status == 0; c = Call(24, 0)) records.push_back(c.data);
        return records;
    }

    std::unique_ptr<recman::Cursor> cursor;
    int16_t openStatus = -1;
};

inline int32_t I32(const std::vector<uint8_t>& b, size_t at) {
    return int32_t(recman::real::Le32(b.data() + at));
}
inline int16_t I16(const std::vector<uint8_t>& b, size_t at) {
    return int16_t(recman::real::Le16(b.data() + at));
}
inline std::string Z(const std::vector<uint8_t>& b, size_t at, size_t max) {
    std::string s;
    for (size_t i = at; i < at + max && i < b.size() && b[i]; ++i) s += char(b[i]);
    return s;
}

}  // namespace realtest
