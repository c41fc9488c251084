// The extended reads (Get Next/Previous Extended 36/37, Step Next/Previous Extended 38/39)
// for the record manager's own cursors: many records per call, each filtered and cut to the
// extracted fields, built from the cursor's single-record reads.
#pragma once

#include <cstdint>

#include "recman/cursor.h"

namespace recman {

// Runs extended read r.operation (36..39) on cursor. The data buffer holds the descriptor:
//   length (2), "EG" (start after the current record) or "UC" (start with it);
//   maximum reject count (2, 0 for no limit), term count (2), terms: type (1), length (2),
//     offset (2), comparison (1: 1 =, 2 >, 3 <, 4 <>, 5 >=, 6 <=; +32 case-insensitive,
//     +64 against the field at the 2-byte offset that follows instead of the value that
//     follows), connector (1: 0 last, 1 and, 2 or), value or offset; the terms are joined
//     left to right;
//   records wanted (2), field count (2), fields: length (2), offset (2).
// The answer in the same buffer: record count (2), then per record its extracted length
// (2), position (4) and the fields' bytes. Status 0 when the wanted records came, 9 at the
// end of the file and 60 when the reject count was reached (the records found so far are
// returned with both); 62 for a descriptor that cannot be read (or a term with an
// alternate collating sequence), 65 for a field that lies past a record's end, 97 when the
// buffer cannot hold the wanted records. The cursor is left on the last record examined.
int16_t ExtendedRead(Cursor& cursor, Request& r);

}  // namespace recman
