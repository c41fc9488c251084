// File-name aliases: references "($NAME)" in a file name stand for text that each machine
// defines once. On Linux the aliases live in a read-only INI file, section [Aliases], one
// NAME=text line each ("@=text" for the empty name): /etc/quorvath/aliases.ini, or the file
// named by QUORVATH_ALIASES.
#pragma once

#include <functional>
#include <string>

using TAliasResolver = std::function<std::string(const std::string& name)>;

// Replaces every "($NAME)" of source by AliasResolver(NAME), left to right, without nesting;
// a reference without ")" takes the rest of the text as its name; names are cut to 30
// characters. Any other text, parentheses included, is copied unchanged.
std::string ExpandAliases(const std::string& source);

// The routine ExpandAliases asks; ReadRegistryAlias unless replaced. SetAliasResolver answers
// the previous routine; an empty function restores ReadRegistryAlias.
const TAliasResolver& AliasResolver();
TAliasResolver SetAliasResolver(TAliasResolver resolver);

// The alias text from the machine's alias store, or "" when the store or the alias is missing.
std::string ReadRegistryAlias(const std::string& name);

// The alias store file: $QUORVATH_ALIASES when set and not empty, else
// /etc/quorvath/aliases.ini.
std::string AliasStoreFileName();
