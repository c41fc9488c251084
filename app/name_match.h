// Names the user types, matched to a short list of choices: letter case, "-", "_" and blanks
// do not count, and a near miss gets a "did you mean" with the closest choices.
#pragma once

#include <string>
#include <vector>

// The edit distance of a and b: insertions, deletions, substitutions and swaps of two
// neighbouring letters, one each.
size_t EditDistance(const std::string& a, const std::string& b);

// The choice that text names, letter case, "-", "_" and blanks ignored ("UTF-8" names "utf8");
// empty when it names none.
std::string MatchedChoice(const std::string& text, const std::vector<std::string>& choices);

// The choices closest to text when they are near enough to be a slip of the keyboard, in the
// order of the list; empty when none is.
std::vector<std::string> NearChoices(const std::string& text,
                                     const std::vector<std::string>& choices);

// What is said of a text that names no choice:
// "postgres is not one of classic, firebird, postgresql; did you mean postgresql?"
// The near choices are those of compared, when given ("1253" of "cp1253").
std::string NotAChoiceText(const std::string& text, const std::vector<std::string>& choices,
                           const std::string& compared = {});
