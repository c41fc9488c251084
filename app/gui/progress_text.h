// The text beside the window's progress bar: the records done of the total, the part done and
// the time left, in the digits and clock times of the terminal's progress line.
#pragma once

#include <QString>
#include <cstdint>

// "clients: 1,234 of 5,000 records, 24%, 0:12 left"; without a table no "clients: "; with an
// unknown total (negative) "1,234 records"; the time left only once records went by.
QString ProgressText(const QString& table, int64_t done, int64_t total, double elapsed);
