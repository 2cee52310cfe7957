// Calendar texts for generated entries (wall-clock seconds, no time-zone database needed).
#pragma once

#include <chrono>   // std::chrono::year_month_day, sys_days
#include <cstdint>  // std::int64_t
#include <cstdio>   // std::snprintf
#include <string>   // std::string

namespace qs::Bench::BenchDates {

// Seconds since 1970-01-01 00:00 of the given wall-clock midnight.
inline std::int64_t midnight(int year, unsigned month, unsigned day) {
    using namespace std::chrono;
    sys_days d = year_month_day{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
    return static_cast<std::int64_t>(d.time_since_epoch().count()) * 86400;
}

// "yyyy-MM-ddTHH:mm:ss" followed by `zone` ("Z", "+08:00").
inline std::string iso(std::int64_t seconds, const char* zone) {
    using namespace std::chrono;
    std::int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    std::int64_t rest = seconds - days * 86400;
    year_month_day ymd{sys_days{std::chrono::days{days}}};
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02d%s", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60), zone);
    return buf;
}

inline std::string day(std::int64_t seconds) { return iso(seconds, "").substr(0, 10); }

}  // namespace qs::Bench::BenchDates
