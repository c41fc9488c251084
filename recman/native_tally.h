// The counts a file of ours keeps beside its records: how many records it holds and how many
// distinct values each key holds. Triggers in the file keep them, so every writer (a change,
// a rollback, the replay of a redo file, even an older build of this program) keeps them
// true, and Stat answers without walking the file.
#pragma once

#include <string>

#include "recman/file_spec.h"

namespace recman {

// The table that holds key k's entries; the count of its distinct values is kept under the
// same name, the count of the records under kTallyRecords.
inline constexpr const char* kTallyRecords = "records";
std::string KeyTableName(int key);

// The statements that create the tally table, its first counts (an empty file) and the
// triggers that keep it, for a file of def's keys; run inside the transaction that creates
// the file's tables.
std::string TallySchema(const FileDef& def);

}  // namespace recman
