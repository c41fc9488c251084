// Names of tables and columns in a target's script: written bare when the target reads them
// back unchanged, quoted its way otherwise, so that no name from a dictionary can change what
// the script does.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "app/sql_dialect.h"

// How a target reads a bare name.
enum TNameFolding { nfNone, nfLower, nfUpper };

struct TIdentifierRules {
    char Quote = '"';               // the opening and closing quote
    TNameFolding Folding = nfNone;  // what the target does to the letters of a bare name
    std::span<const std::string_view> Keywords;  // upper case
    // The longest name the target keeps whole (0: no limit), in bytes of the script's encoding
    // or in characters, and the target's name for the error.
    int MaxLength = 0;
    bool LengthInCharacters = false;
    const char* TargetName = "";
};

// True when the name (system text) must be quoted: empty, a leading character other than an
// ASCII letter or "_", any character other than ASCII letters, digits and "_", a letter the
// target would fold, or a keyword of the target (any letter case).
bool NameNeedsQuotes(std::string_view name, const TIdentifierRules& rules);
// The name as written in the script (its encoding), quoted when it needs to be, a quote
// character inside doubled. A name longer than the target keeps (which it would cut or refuse)
// raises "The name %s is longer than the %d %s %s takes".
std::string ScriptIdentifier(std::string_view name, const TIdentifierRules& rules,
                             TScriptEncoding encoding);
// The same for a UTF-8 script and a name already in UTF-8 (one whose letters CP1251 lacks);
// shown is its system text, for the message.
std::string Utf8ScriptIdentifier(std::string_view utf8, std::string_view shown,
                                 const TIdentifierRules& rules);
