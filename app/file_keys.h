// The keys of the data file an open Btrieve dataset reads, for the key statements of its
// script: the attributes come from the file's own header, the columns from the description's
// key segments.
#pragma once

#include <string>
#include <vector>

#include "app/sql_keys.h"

class TBDataSet;

// Every key of the file whose segments the description names one for one, in key order. A
// segment named twice in a key (a column that holds two segments) is named once. A segment
// no field covers exactly takes the fields its bytes lie in, with a warning; one whose bytes
// no fields hold leaves its key without columns (left out), with a warning.
std::vector<TSqlKey> DataFileKeys(const TBDataSet& dataSet);
