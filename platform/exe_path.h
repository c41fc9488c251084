// The running executable's full path and directory, as system text (CP1251).
#pragma once

#include <string>

std::string ExecutablePath();
// The directory part of ExecutablePath, without a trailing delimiter.
std::string ExecutableDir();
