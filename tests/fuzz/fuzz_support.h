// What the fuzz targets share: a scratch file per process that holds the input being tried
// (the record manager reads files by name), and the Btrieve call with the buffers it needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// The path of a file named name in a folder of this process's own, removed at exit.
std::string ScratchPath(const std::string& name);
// Replaces the file's content with the bytes.
void WriteScratch(const std::string& path, const uint8_t* data, size_t size);
// True for a database of the record manager's own kind: those targets try vendor files only.
bool LooksLikeOwnFile(const uint8_t* data, size_t size);

}  // namespace fuzz
