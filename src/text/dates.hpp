// Time stamps: archive stamps, local days, ISO 8601 in UTC, and the two date
// encodings of the vocabulary book.
#pragma once

#include <chrono>       // std::chrono::system_clock
#include <optional>     // std::optional
#include <string>       // std::string
#include <string_view>  // std::string_view

namespace qs::Text {

using Clock = std::chrono::system_clock;

// Seconds between 1970-01-01T00:00:00Z and 2001-01-01T00:00:00Z.
inline constexpr double kReferenceDateOffset = 978307200.0;

// "yyyy-MM-dd'T'HHmmss'Z'" in UTC, e.g. 2025-03-02T081500Z.
std::string archiveStamp(Clock::time_point t);

// "yyyy-MM-dd" in the machine's local time zone.
std::string localDay(Clock::time_point t);

// "HH:mm" of the moment in the machine's local time zone; nothing when the
// system cannot tell.
std::optional<std::string> localTimeOfDay(double unixSeconds);

// "yyyy-MM-dd" naming a day on the calendar (2025-02-29 does not).
bool isCalendarDay(std::string_view s);

// ISO 8601 internet date-time in UTC with whole seconds (fraction dropped),
// e.g. 2025-03-01T08:30:00Z. `unixSeconds` counts from 1970-01-01T00:00:00Z.
std::string isoUtc(double unixSeconds);

// Reads an ISO 8601 internet date-time ("2025-03-01T08:30:00Z",
// "2025-03-01T16:30:00+08:00", fractional seconds allowed; the offset also
// without its colon, +0800, or its minutes, +08) into seconds since
// 1970-01-01T00:00:00Z. Nothing when the text is not of that form.
std::optional<double> parseIsoDateTime(std::string_view s);

}  // namespace qs::Text
