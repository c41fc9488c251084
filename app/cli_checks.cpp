#include "app/cli_checks.h"

#include <cerrno>
#include <cstdlib>

#include "app/name_match.h"

CLI::Validator OneOf(std::vector<std::string> choices) {
    return CLI::Validator(
        [choices = std::move(choices)](std::string& value) {
            const std::string choice = MatchedChoice(value, choices);
            if (choice.empty()) return NotAChoiceText(value, choices);
            value = choice;
            return std::string();
        },
        "");
}

CLI::Validator CodePageOf(std::vector<int> pages) {
    std::vector<std::string> names;
    for (const int page : pages) names.push_back(std::to_string(page));
    return CLI::Validator(
        [names = std::move(names)](std::string& value) {
            std::string number = value;
            for (const char* prefix : {"cp", "windows", "ibm"}) {
                const std::string p = prefix;
                if (number.size() > p.size() &&
                    MatchedChoice(number.substr(0, p.size()), {p}) == p) {
                    number = number.substr(p.size());
                    break;
                }
            }
            const std::string choice = MatchedChoice(number, names);
            if (choice.empty()) return NotAChoiceText(value, names, number);
            value = choice;
            return std::string();
        },
        "");
}

CLI::Validator WholeNumber(int64_t low, int64_t high) {
    return CLI::Validator(
        [low, high](std::string& value) {
            const size_t first = value.find_first_not_of(" \t");
            if (first == std::string::npos) return std::string();
            const char* start = value.c_str() + first;
            char* end = nullptr;
            errno = 0;
            const long long number = std::strtoll(start, &end, 10);
            if (end == start ||
                value.find_first_not_of(" \t", end - value.c_str()) != std::string::npos)
                return std::string();  // not a number: the conversion says so
            if (errno != ERANGE && number >= low && number <= high) return std::string();
            const std::string bounds =
                high == INT32_MAX ? std::to_string(low) + " or more"
                                  : "from " + std::to_string(low) + " to " + std::to_string(high);
            return "must be " + bounds + ", not " +
                   std::string(start, static_cast<const char*>(end));
        },
        "");
}
