// The table a script fills when the user names none: the DDF dictionary's table of the data
// file, else the data file's name without its folder and extension.
#pragma once

#include <string>

#include "app/settings.h"

// info.ImpTableName when given, else the name the dictionary or the data file gives. Raises
// Exception when none is left, before anything is written.
std::string ScriptTableName(const TImpInfo& info);
