// The checks of the command line's values, as validators of the option parser: a name from a
// list, taken in any letter case and given on as the list spells it; a code page by its
// number; a whole number within bounds. A refused value's message names the option.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>
#include <vector>

// One of choices ("PostgreSQL" and "postgresql", "UTF-8" and "utf8" alike); a near miss is
// answered "... did you mean X?".
CLI::Validator OneOf(std::vector<std::string> choices);

// One of the code pages, by number, also as "cp866" or "windows-1251".
CLI::Validator CodePageOf(std::vector<int> pages);

// A whole number from low to high, blanks around it allowed. A text that is no number is left
// to the option's own conversion, which names it.
CLI::Validator WholeNumber(int64_t low, int64_t high = INT32_MAX);
