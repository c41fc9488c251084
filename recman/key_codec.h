// Key images and their ordered encoding: a key image is the key's segments copied from the
// record one after another (what the key buffer holds); its encoding compares with memcmp in
// the order the key's types, descending segments and collating sequences give.
#pragma once

#include <string>
#include <string_view>

#include "recman/file_spec.h"

namespace recman {

// The key image of key in record (which holds at least the fixed part).
void ExtractKeyImage(const KeyDef& key, std::string_view record, std::string& image);

// Writes a key image back into a record (used for autoincrement values).
void StoreKeyImage(const KeyDef& key, std::string_view image, std::string& record);

// True when a record with this key image stays out of the key's index (null key).
bool IsNullKey(const KeyDef& key, std::string_view image);

// The ordered encoding of a key image; equal images give equal encodings.
void EncodeKey(const KeyDef& key, const FileDef& file, std::string_view image, std::string& out);

}  // namespace recman
