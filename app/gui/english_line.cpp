#include "app/gui/english_line.h"

#include <cstdint>

#include "btrieve/btr_error.h"
#include "dict/dictionary.h"
#include "platform/codepage.h"

namespace {

// "Описание файла NAME не найдено в словаре DICT": the names, or false for another text.
bool DescriptionNotFound(const std::string& message, std::string& name, std::string& dict) {
    const std::string form = DescriptionNotFoundText("\x01", "\x02");
    const size_t first = form.find('\x01'), second = form.find('\x02');
    const std::string before = form.substr(0, first);
    const std::string between = form.substr(first + 1, second - first - 1);
    const size_t at = message.find(before);
    if (at == std::string::npos) return false;
    const size_t mid = message.find(between, at + before.size());
    if (mid == std::string::npos) return false;
    name = message.substr(at + before.size(), mid - at - before.size());
    const size_t end = message.find_first_of("\r\n", mid + between.size());
    dict =
        message.substr(mid + between.size(),
                       end == std::string::npos ? std::string::npos : end - mid - between.size());
    return true;
}

}  // namespace

std::string EnglishLineOf(const std::string& message) {
    int32_t status = 0;
    if (BtrStatusOfMessage(message, status)) return BtrStatusEnglishLine(status);
    if (message.find(BadDictionaryStructureText()) != std::string::npos)
        return "The dictionary's structure is not valid";
    if (message.find(KeyFieldNotFoundText()) != std::string::npos)
        return "The dictionary has no field that matches the key";
    std::string name, dict;
    if (DescriptionNotFound(message, name, dict))
        return "The dictionary " + AnsiToUtf8(dict) + " does not describe the file " +
               AnsiToUtf8(name);
    return std::string();
}
