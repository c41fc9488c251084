#include "app/progress_meter.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/format.h"

namespace {

constexpr int kBarWidth = 20;

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::string GroupedNumber(int64_t value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(at, ",");
    return value < 0 ? "-" + digits : digits;
}

std::string ClockTime(double seconds) {
    const int64_t whole = static_cast<int64_t>(std::max(0.0, std::floor(seconds)));
    const int64_t h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
    if (h > 0)
        return Format("%lld:%02lld:%02lld", static_cast<long long>(h), static_cast<long long>(m),
                      static_cast<long long>(s));
    return Format("%lld:%02lld", static_cast<long long>(m), static_cast<long long>(s));
}

TProgressMeter::TProgressMeter(TClock clock) : clock_(clock ? std::move(clock) : SteadySeconds) {}

void TProgressMeter::Start(const std::string& table, int64_t total) {
    table_ = table;
    total_ = total;
    start_ = clock_();
    drawn_ = -1;
    drawnLength_ = 0;
}

bool DrawProgress(std::ostream& out, TProgressMeter& meter, int64_t done) {
    std::string line = meter.Update(done);
    if (line.empty()) return false;
    const size_t length = line.size();
    if (length < meter.drawnLength_) line.append(meter.drawnLength_ - length, ' ');
    meter.drawnLength_ = length;
    out << "\r" << line << std::flush;
    return true;
}

std::string TProgressMeter::Update(int64_t done) {
    const double now = clock_();
    if (drawn_ >= 0 && now - drawn_ < 1.0) return {};
    drawn_ = now;
    return Line(done);
}

std::string TProgressMeter::Line(int64_t done) const {
    const double elapsed = std::max(0.0, clock_() - start_);
    const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0;
    std::string line = table_.empty() ? std::string() : table_ + ": ";
    line += GroupedNumber(done);
    if (total_ > 0) {
        const double part = std::min(1.0, static_cast<double>(done) / static_cast<double>(total_));
        const int filled = static_cast<int>(part * kBarWidth);
        line += " of " + GroupedNumber(total_) + " [" + std::string(filled, '#') +
                std::string(kBarWidth - filled, '.') + "] " +
                Format("%3d%%", static_cast<int>(part * 100));
    } else {
        line += " records";
    }
    line += ", " + GroupedNumber(static_cast<int64_t>(rate)) + " records/s, " + ClockTime(elapsed) +
            " elapsed";
    if (total_ > 0 && rate > 0 && done < total_)
        line += ", " + ClockTime(static_cast<double>(total_ - done) / rate) + " left";
    return line;
}
