// The decode plan's appenders: one per kind of stored value, each reading the column's bytes
// from the record and writing the literal the dialect would write, or answering null for a
// value the field's own path has to write. What each may write at most is its Room.
#pragma once

#include "app/decode_plan.h"

namespace plan {

// The room of each kind's literal.
constexpr size_t kIntegerRoom = 20;
constexpr size_t kDateRoom = 12;
constexpr size_t kTimeRoom = 16;
// Of a text of up to limit characters, each written in up to widest bytes: the apostrophes,
// and the whole last word of eight bytes copied.
constexpr size_t TextRoom(size_t limit, size_t widest) {
    return 2 + limit * widest + 8;
}

char* AppendInt16(char* at, const uint8_t* record, const TPlanColumn& column);
char* AppendUInt16(char* at, const uint8_t* record, const TPlanColumn& column);
char* AppendUInt8(char* at, const uint8_t* record, const TPlanColumn& column);
char* AppendInt32(char* at, const uint8_t* record, const TPlanColumn& column);
char* AppendFloat32(char* at, const uint8_t* record, const TPlanColumn& column);
char* AppendFloat64(char* at, const uint8_t* record, const TPlanColumn& column);
char* AppendDate(char* at, const uint8_t* record, const TPlanColumn& column);
char* AppendTime(char* at, const uint8_t* record, const TPlanColumn& column);
// Text of fixed size, up to its first zero byte.
char* AppendZText(char* at, const uint8_t* record, const TPlanColumn& column);
// Text after a length byte.
char* AppendLText(char* at, const uint8_t* record, const TPlanColumn& column);

}  // namespace plan
