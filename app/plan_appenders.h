// The decode plan's appenders: one per kind of stored value, each reading the column's bytes
// from the record and appending the literal the dialect would write, or answering false (out
// as it was) for a value the field's own path has to write.
#pragma once

#include "app/decode_plan.h"

namespace plan {

bool AppendInt16(TScriptText& out, const uint8_t* record, const TPlanColumn& column);
bool AppendUInt16(TScriptText& out, const uint8_t* record, const TPlanColumn& column);
bool AppendUInt8(TScriptText& out, const uint8_t* record, const TPlanColumn& column);
bool AppendInt32(TScriptText& out, const uint8_t* record, const TPlanColumn& column);
bool AppendFloat32(TScriptText& out, const uint8_t* record, const TPlanColumn& column);
bool AppendFloat64(TScriptText& out, const uint8_t* record, const TPlanColumn& column);
bool AppendDate(TScriptText& out, const uint8_t* record, const TPlanColumn& column);
bool AppendTime(TScriptText& out, const uint8_t* record, const TPlanColumn& column);
// Text of fixed size, up to its first zero byte.
bool AppendZText(TScriptText& out, const uint8_t* record, const TPlanColumn& column);
// Text after a length byte.
bool AppendLText(TScriptText& out, const uint8_t* record, const TPlanColumn& column);

}  // namespace plan
