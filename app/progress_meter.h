// The progress line of an export on a terminal: the table, the records done of the total the
// file reports, a bar, the rate, the time spent and the time left, redrawn about once a
// second however often it is told.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

class TProgressMeter {
  public:
    // Seconds since some fixed moment; a steady clock unless a test gives its own.
    using TClock = std::function<double()>;
    explicit TProgressMeter(TClock clock = nullptr);

    // A table starts: its name as shown (UTF-8) and the records of its file (negative: not
    // known).
    void Start(const std::string& table, int64_t total);
    // The line for done records (without "\r"), or empty when the one drawn last is less than
    // a second old.
    std::string Update(int64_t done);
    // The line for done records, whatever the time.
    std::string Line(int64_t done) const;

  private:
    TClock clock_;
    std::string table_;
    int64_t total_ = -1;
    double start_ = 0;
    double drawn_ = -1;  // when the last line was drawn; negative: none yet
    size_t drawnLength_ = 0;
    friend bool DrawProgress(std::ostream& out, TProgressMeter& meter, int64_t done);
};

// Redraws the meter's line for done records over the one before ("\r", blanks where the old
// line was longer) when it is due; true when it drew.
bool DrawProgress(std::ostream& out, TProgressMeter& meter, int64_t done);

// 1234567 as "1,234,567".
std::string GroupedNumber(int64_t value);
// Seconds as "m:ss", or "h:mm:ss" from an hour on.
std::string ClockTime(double seconds);
