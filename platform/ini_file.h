// INI profile files: one section per "[name]" line, "key=value" lines, section and key names
// compared without regard to case. Reads never fail (missing file, section or key give the
// default); a write creates file and section when missing, replaces the key's line in place
// and keeps every other line as it was. File names are system text (CP1251).
#pragma once

#include <cstdint>
#include <string>

// A text value, at most 2047 characters.
std::string IniReadString(const std::string& fileName, const std::string& section,
                          const std::string& key, const std::string& defaultValue);
// Decimal, or hexadecimal with a leading 0x/0X; anything else gives the default.
int32_t IniReadInteger(const std::string& fileName, const std::string& section,
                       const std::string& key, int32_t defaultValue);
// Raises Exception "Unable to write to %s" when the platform refuses the write.
void IniWriteString(const std::string& fileName, const std::string& section, const std::string& key,
                    const std::string& value);
void IniWriteInteger(const std::string& fileName, const std::string& section,
                     const std::string& key, int32_t value);
