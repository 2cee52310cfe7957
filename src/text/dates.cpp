// Fixed-pattern date texts computed from civil-calendar arithmetic, so they
// never depend on the machine's locale settings.
#include "text/dates.hpp"

#include <cmath>    // std::floor, std::isfinite, std::abs
#include <cstdint>  // int64_t
#include <cstdio>   // std::snprintf
#include <ctime>    // localtime_r, time_t

#include "text/unicode.hpp"

namespace qs::Text {
namespace {

struct Civil {
    int64_t year;
    unsigned month, day, hour, minute, second;
};

// Days since 1970-01-01 to a proleptic Gregorian date (H. Hinnant's algorithm).
void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0);
}

int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool isLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned daysInMonth(int64_t y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// Seconds are floored, so 08:15:00.9 is still 08:15:00.
Civil utcCivil(int64_t seconds) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        days -= 1;
    }
    Civil c{};
    civilFromDays(days, c.year, c.month, c.day);
    c.hour = static_cast<unsigned>(rest / 3600);
    c.minute = static_cast<unsigned>(rest / 60 % 60);
    c.second = static_cast<unsigned>(rest % 60);
    return c;
}

int64_t flooredSeconds(Clock::time_point t) {
    return std::chrono::floor<std::chrono::seconds>(t.time_since_epoch()).count();
}

// Keeps the arithmetic inside int64 for absurd inputs (about ±3 million years).
constexpr double kMaxSeconds = 1e14;

std::string format(const char* pattern, const Civil& c) {
    char buf[80];
    std::snprintf(buf, sizeof buf, pattern, static_cast<long long>(c.year), c.month, c.day, c.hour, c.minute, c.second);
    return buf;
}

// Reads exactly `n` ASCII digits at `pos`.
bool digits(std::string_view s, size_t pos, size_t n, unsigned& value) {
    if (pos + n > s.size()) return false;
    value = 0;
    for (size_t i = pos; i < pos + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        value = value * 10 + static_cast<unsigned>(s[i] - '0');
    }
    return true;
}

}  // namespace

std::string archiveStamp(Clock::time_point t) {
    return format("%04lld-%02u-%02uT%02u%02u%02uZ", utcCivil(flooredSeconds(t)));
}

std::string localDay(Clock::time_point t) {
    time_t seconds = static_cast<time_t>(flooredSeconds(t));
    std::tm local{};
    if (!localtime_r(&seconds, &local)) {
        return format("%04lld-%02u-%02u", utcCivil(flooredSeconds(t)));
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return buf;
}

std::optional<std::string> localTimeOfDay(double unixSeconds) {
    if (!std::isfinite(unixSeconds) || std::abs(unixSeconds) > 1e15) return std::nullopt;
    const auto seconds = static_cast<time_t>(std::floor(unixSeconds));
    std::tm local{};
    if (!localtime_r(&seconds, &local)) return std::nullopt;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d", local.tm_hour, local.tm_min);
    return buf;
}

bool isCalendarDay(std::string_view s) {
    if (!isDayShape(s)) return false;
    auto number = [&](size_t at, size_t n) {
        unsigned value = 0;
        for (size_t i = at; i < at + n; ++i) value = value * 10 + static_cast<unsigned>(s[i] - '0');
        return value;
    };
    const unsigned month = number(5, 2), day = number(8, 2);
    return month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(number(0, 4), month);
}

std::string isoUtc(double unixSeconds) {
    double clamped = std::isfinite(unixSeconds) ? unixSeconds : 0.0;
    if (clamped > kMaxSeconds) clamped = kMaxSeconds;
    if (clamped < -kMaxSeconds) clamped = -kMaxSeconds;
    return format("%04lld-%02u-%02uT%02u:%02u:%02uZ", utcCivil(static_cast<int64_t>(std::floor(clamped))));
}

std::optional<double> parseIsoDateTime(std::string_view s) {
    // yyyy-MM-ddTHH:mm:ss[.f+](Z|±HH:mm|±HHmm|±HH)
    unsigned year, month, day, hour, minute, second;
    if (!digits(s, 0, 4, year) || s.size() < 19 || s[4] != '-' || !digits(s, 5, 2, month) || s[7] != '-' ||
        !digits(s, 8, 2, day) || s[10] != 'T' || !digits(s, 11, 2, hour) || s[13] != ':' || !digits(s, 14, 2, minute) ||
        s[16] != ':' || !digits(s, 17, 2, second)) {
        return std::nullopt;
    }
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 ||
        second > 59) {
        return std::nullopt;
    }
    size_t pos = 19;
    double fraction = 0.0;
    if (pos < s.size() && s[pos] == '.') {
        size_t first = ++pos;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') ++pos;
        if (pos == first) return std::nullopt;
        // The digits as an integer over a power of ten, both exact in a
        // double, so the quotient is correctly rounded. Digits past the
        // fifteenth (below a femtosecond) are ignored, which keeps it exact.
        int64_t numerator = 0;
        int64_t denominator = 1;
        for (size_t i = first; i < pos && i < first + 15; ++i) {
            numerator = numerator * 10 + (s[i] - '0');
            denominator *= 10;
        }
        fraction = static_cast<double>(numerator) / static_cast<double>(denominator);
    }
    int64_t offset = 0;
    if (pos < s.size() && s[pos] == 'Z') {
        ++pos;
    } else if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
        // ISO 8601 writes the offset ±HH:mm, ±HHmm or ±HH.
        const int sign = s[pos] == '+' ? 1 : -1;
        unsigned oh, om = 0;
        if (!digits(s, pos + 1, 2, oh)) return std::nullopt;
        pos += 3;
        if (pos < s.size()) {
            const size_t minutes = s[pos] == ':' ? pos + 1 : pos;
            if (!digits(s, minutes, 2, om)) return std::nullopt;
            pos = minutes + 2;
        }
        if (oh > 23 || om > 59) return std::nullopt;
        offset = sign * static_cast<int64_t>(oh * 3600 + om * 60);
    } else {
        return std::nullopt;
    }
    if (pos != s.size()) return std::nullopt;
    int64_t seconds =
        daysFromCivil(year, month, day) * 86400 + int64_t{hour} * 3600 + int64_t{minute} * 60 + second - offset;
    return static_cast<double>(seconds) + fraction;
}

}  // namespace qs::Text
