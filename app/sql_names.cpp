#include "app/sql_names.h"

#include <filesystem>
#include <fstream>

#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/format.h"

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

}  // namespace

TRenames ReadRenames(const std::string& fileName) {
    std::ifstream in(std::filesystem::path(AnsiToUtf8(fileName)), std::ios::binary);
    if (!in) throw Exception(Format("Rename file not found: %s", fileName.c_str()));
    TRenames renames;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string_view text = Trimmed(line);
        if (text.empty() || text.front() == '#') continue;
        auto fail = [&](const char* what) {
            throw Exception(Format("%s, line %d: %s", fileName.c_str(), number, what));
        };
        const size_t eq = text.find('=');
        if (eq == std::string_view::npos) fail("no \"=\" between the old name and the new one");
        const std::string_view oldName = Trimmed(text.substr(0, eq));
        const std::string_view newName = Trimmed(text.substr(eq + 1));
        if (oldName.empty() || newName.empty() || oldName.front() == '.' || oldName.back() == '.')
            fail("a name is empty");
        bool ok = true;
        std::string oldAnsi = Utf8ToAnsi(oldName, &ok), newAnsi = Utf8ToAnsi(newName, &ok);
        if (!ok) fail("a name holds letters code page 1251 lacks");
        if (!renames.emplace(std::move(oldAnsi), std::move(newAnsi)).second)
            fail("the old name is given twice");
    }
    return renames;
}

const std::string* RenamedTable(const TRenames& renames, const std::string& table) {
    const auto at = renames.find(table);
    return at == renames.end() ? nullptr : &at->second;
}

const std::string* RenamedColumn(const TRenames& renames, const std::string& table,
                                 const std::string& column) {
    const auto at = renames.find(table + "." + column);
    return at == renames.end() ? nullptr : &at->second;
}

std::string TUniqueNames::Take(const std::string& name) {
    std::string taken = name;
    for (int n = 2; !taken_.insert(key_(taken)).second; ++n) taken = name + "_" + std::to_string(n);
    return taken;
}
