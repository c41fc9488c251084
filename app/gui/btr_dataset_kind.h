// The data module's dataset in the window program: a TBDataSet over the data file, read-only
// and without record locking, pointed at its dictionary and data file by name.
#pragma once

#include "app/gui/data_module.h"

TDataSetKind BDataSetKind();
