// Archive stamps, local days and ISO 8601 texts, independent of the
// machine's zone where they should be.
#include "text/dates.hpp"

#include <gtest/gtest.h>

#include <cmath>    // std::floor
#include <cstdlib>  // setenv, unsetenv
#include <ctime>    // tzset

namespace qs::text {
namespace {

Clock::time_point at(double unixSeconds) {
    return Clock::time_point(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(unixSeconds)));
}

// Sets the process time zone for a while (POSIX rules, no zone database needed).
class ZoneGuard {
public:
    explicit ZoneGuard(const char* tz) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~ZoneGuard() {
        old_.empty() ? ::unsetenv("TZ") : ::setenv("TZ", old_.c_str(), 1);
        ::tzset();
    }

private:
    std::string old_;
};

constexpr double k20250302_081500 = 1740903300.0;  // 2025-03-02T08:15:00Z

TEST(ArchiveStampAndLocalDay, StampsAreUtcWholeSecondsAndDaysFollowTheZone) {
    const double evening = 1740859200.0;  // 2025-03-01T20:00:00Z
    for (const auto& [tz, day] : {std::pair{"UTC0", "2025-03-01"}, {"CST-8", "2025-03-02"}, {"PST8PDT", "2025-03-01"},
                                  {"NPT-5:45", "2025-03-02"}}) {
        ZoneGuard zone(tz);
        EXPECT_EQ(archiveStamp(at(k20250302_081500 + 0.999)), "2025-03-02T081500Z") << tz;
        EXPECT_EQ(archiveStamp(at(kReferenceDateOffset - 0.5)), "2000-12-31T235959Z") << tz;
        EXPECT_EQ(localDay(at(evening)), day) << tz;
    }
}

TEST(IsoUtc, FloorsToWholeSecondsAndParsesBack) {
    const std::pair<double, const char*> cases[] = {
        {0, "1970-01-01T00:00:00Z"},        {k20250302_081500 + 0.9, "2025-03-02T08:15:00Z"},
        {-0.5, "1969-12-31T23:59:59Z"},     {951782400, "2000-02-29T00:00:00Z"},
        {253402300799, "9999-12-31T23:59:59Z"},
    };
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(isoUtc(seconds), text) << seconds;
        EXPECT_EQ(parseIsoDateTime(text), std::floor(seconds)) << text;
    }
}

TEST(ParseIsoDateTime, AcceptsInternetDateTimes) {
    const std::pair<const char*, double> cases[] = {
        {"2025-03-02T16:15:00+08:00", k20250302_081500},      {"2025-03-02T02:30:00-05:45", k20250302_081500},
        {"2025-03-02T08:15:00.250Z", k20250302_081500 + 0.25}, {"2025-03-02T08:15:00.5+00:00", k20250302_081500 + 0.5},
        {"2024-02-29T00:00:00Z", 1709164800},                   {"1970-01-01T00:00:00.999999999Z", 0.999999999},
        {"2025-03-02T08:15:00.12345678901234567890123Z", k20250302_081500 + 0.12345678901234567890123},
    };
    for (const auto& [text, seconds] : cases) {
        auto parsed = parseIsoDateTime(text);
        ASSERT_TRUE(parsed.has_value()) << text;
        EXPECT_DOUBLE_EQ(*parsed, seconds) << text;
    }
}

TEST(ParseIsoDateTime, RejectsOtherShapes) {
    for (const char* text : {"", "2025-03-02", "2025-03-02T08:15:00", "2025-03-02 08:15:00Z", "2025-03-02t08:15:00Z",
                             "2025-03-02T08:15Z", "2025-13-02T08:15:00Z", "2025-02-29T00:00:00Z", "2025-03-02T24:00:00Z",
                             "2025-03-02T08:15:00.Z", "2025-03-02T08:15:00+0800", "2025-03-02T08:15:00Z ",
                             "2025-3-02T08:15:00Z", "2025-03-02T08:15:00+24:00", "+2025-03-02T08:15:00Z"}) {
        EXPECT_FALSE(parseIsoDateTime(text).has_value()) << text;
    }
}

}  // namespace
}  // namespace qs::text
