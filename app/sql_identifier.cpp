#include "app/sql_identifier.h"

#include "app/sql_literal.h"
#include "platform/exception.h"
#include "platform/format.h"

namespace {

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsKeyword(std::string_view name, std::span<const std::string_view> keywords) {
    for (std::string_view word : keywords) {
        if (word.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; same && i < name.size(); ++i) {
            char c = name[i];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            same = c == word[i];
        }
        if (same) return true;
    }
    return false;
}

}  // namespace

bool NameNeedsQuotes(std::string_view name, const TIdentifierRules& rules) {
    if (name.empty()) return true;
    if (!IsAsciiLetter(name[0]) && name[0] != '_') return true;
    for (const char c : name) {
        if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '_') return true;
        if (rules.Folding == nfLower && c >= 'A' && c <= 'Z') return true;
        if (rules.Folding == nfUpper && c >= 'a' && c <= 'z') return true;
    }
    return IsKeyword(name, rules.Keywords);
}

namespace {

// Refuses a name (as the script writes it) longer than the target keeps.
void CheckLength(std::string_view scriptName, std::string_view shown, bool utf8,
                 const TIdentifierRules& rules) {
    if (rules.MaxLength <= 0) return;
    size_t length = scriptName.size();
    if (rules.LengthInCharacters && utf8)
        for (const char c : scriptName)
            if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) --length;
    if (length > static_cast<size_t>(rules.MaxLength))
        throw Exception(Format(
            "The name %s is longer than the %d %s %s takes", std::string(shown).c_str(),
            rules.MaxLength, rules.LengthInCharacters ? "characters" : "bytes", rules.TargetName));
}

std::string Quoted(std::string_view name, char quote) {
    std::string quoted(1, quote);
    for (const char c : name) {
        quoted.push_back(c);
        if (c == quote) quoted.push_back(c);
    }
    quoted.push_back(quote);
    return quoted;
}

}  // namespace

std::string Utf8ScriptIdentifier(std::string_view utf8, std::string_view shown,
                                 const TIdentifierRules& rules) {
    CheckLength(utf8, shown, true, rules);
    // Its letters are not ASCII, so it is always quoted.
    return Quoted(utf8, rules.Quote);
}

std::string ScriptIdentifier(std::string_view name, const TIdentifierRules& rules,
                             TScriptEncoding encoding) {
    if (rules.MaxLength > 0) {
        std::string scriptName;
        AppendSystemText(scriptName, name, encoding);
        CheckLength(scriptName, name, encoding == seUtf8, rules);
    }
    std::string out;
    if (!NameNeedsQuotes(name, rules)) {
        out.assign(name);
        return out;
    }
    AppendSystemText(out, Quoted(name, rules.Quote), encoding);
    return out;
}
