#include "app/name_match.h"

#include <algorithm>

namespace {

// The text as names are compared: ASCII letters in small case, without "-", "_" and blanks.
std::string Folded(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '-' || c == '_' || c == ' ') continue;
        out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return out;
}

// "a", "a or b", "a, b or c".
std::string Listed(const std::vector<std::string>& names, const char* last) {
    std::string out;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += i + 1 == names.size() ? last : ", ";
        out += names[i];
    }
    return out;
}

}  // namespace

size_t EditDistance(const std::string& a, const std::string& b) {
    // Three rows of the table: two back for a swap, the one before, the one being filled.
    std::vector<size_t> before2(b.size() + 1), before(b.size() + 1), row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) before[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            row[j] = std::min({before[j] + 1, row[j - 1] + 1, before[j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                row[j] = std::min(row[j], before2[j - 2] + 1);
        }
        before2.swap(before);
        before.swap(row);
    }
    return before[b.size()];
}

std::string MatchedChoice(const std::string& text, const std::vector<std::string>& choices) {
    const std::string folded = Folded(text);
    for (const std::string& choice : choices)
        if (Folded(choice) == folded) return choice;
    return {};
}

std::vector<std::string> NearChoices(const std::string& text,
                                     const std::vector<std::string>& choices) {
    const std::string folded = Folded(text);
    std::vector<std::string> nearest;
    size_t best = 0;
    for (const std::string& choice : choices) {
        const std::string name = Folded(choice);
        const size_t distance = EditDistance(folded, name);
        // One slip in a short name, one more for every four letters; never the whole text.
        if (distance > 1 + name.size() / 4 || distance >= folded.size()) continue;
        if (nearest.empty() || distance < best) {
            nearest = {choice};
            best = distance;
        } else if (distance == best) {
            nearest.push_back(choice);
        }
    }
    return nearest;
}

std::string NotAChoiceText(const std::string& text, const std::vector<std::string>& choices,
                           const std::string& compared) {
    std::string out = text + " is not one of " + Listed(choices, ", ");
    const std::vector<std::string> near = NearChoices(compared.empty() ? text : compared, choices);
    if (!near.empty()) out += "; did you mean " + Listed(near, " or ") + "?";
    return out;
}
