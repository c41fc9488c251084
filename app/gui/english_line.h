// The English line a reader of English gets after one of the system's Russian messages: a
// Btrieve error's status, or a dictionary's error.
#pragma once

#include <string>

// The English line for a message holding a Btrieve error or a Russian dictionary error
// (also inside a longer text); empty for any other message. UTF-8.
std::string EnglishLineOf(const std::string& message);
