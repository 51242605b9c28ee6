#include "http/http_fields.h"

#include <array>

namespace zid {

namespace {

constexpr size_t kMaxDigits = 19;      // every 19-digit number fits 64 bits
constexpr size_t kMaxEntityTag = 256;  // characters of an entity tag taken at most
constexpr std::int64_t kSecondsPerDay = 86400;

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 7> kDays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<std::string_view, 7> kLongDays = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                       "Friday", "Saturday", "Sunday"};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads a run of 1 to kMaxDigits digits at text[at...]; advances at past them.
std::optional<std::uint64_t> Number(std::string_view text, size_t& at) {
    const size_t begin = at;
    std::uint64_t value = 0;
    while (at < text.size() && IsDigit(text[at]) && at - begin < kMaxDigits)
        value = value * 10 + static_cast<unsigned>(text[at++] - '0');
    if (at == begin || (at < text.size() && IsDigit(text[at])))
        return std::nullopt;
    return value;
}

bool Take(std::string_view text, size_t& at, std::string_view expected) {
    if (text.substr(at, expected.size()) != expected)
        return false;
    at += expected.size();
    return true;
}

// Exactly count digits at text[at...].
std::optional<int> Digits(std::string_view text, size_t& at, size_t count) {
    int value = 0;
    for (size_t i = 0; i < count; ++i, ++at) {
        if (at >= text.size() || !IsDigit(text[at]))
            return std::nullopt;
        value = value * 10 + (text[at] - '0');
    }
    return value;
}

template <size_t N>
std::optional<int> Name(std::string_view text, size_t& at, const std::array<std::string_view, N>& names) {
    for (size_t i = 0; i < N; ++i) {
        if (Take(text, at, names[i]))
            return static_cast<int>(i);
    }
    return std::nullopt;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    constexpr int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 1 && IsLeapYear(year) ? 29 : kLengths[month];
}

// Days from 1970-01-01 to the date (month from 0), by the proleptic Gregorian calendar.
std::int64_t DaysSinceEpoch(int year, int month, int day) {
    const int y = month < 2 ? year - 1 : year;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int shiftedMonth = (month + 10) % 12;  // March is 0
    const int dayOfYear = (153 * shiftedMonth + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
}

struct DateParts {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

// "HH:MM:SS"
bool TimeOfDay(std::string_view text, size_t& at, DateParts& parts) {
    const auto hour = Digits(text, at, 2);
    const bool colon1 = hour && Take(text, at, ":");
    const auto minute = colon1 ? Digits(text, at, 2) : std::nullopt;
    const bool colon2 = minute && Take(text, at, ":");
    const auto second = colon2 ? Digits(text, at, 2) : std::nullopt;
    if (!second)
        return false;
    parts.Hour = *hour;
    parts.Minute = *minute;
    parts.Second = *second;
    return true;
}

// "Sun, 06 Nov 1994 08:49:37 GMT" (IMF-fixdate: short day names, spaces, four-digit years) or
// "Sunday, 06-Nov-94 08:49:37 GMT" (RFC 850: long day names, dashes, two digits, below 70 taken as 20xx).
template <size_t N>
bool DayFirstDate(std::string_view text, const std::array<std::string_view, N>& days, std::string_view separator,
                  size_t yearDigits, DateParts& parts) {
    size_t at = 0;
    if (!Name(text, at, days) || !Take(text, at, ", "))
        return false;
    const auto day = Digits(text, at, 2);
    const auto month = day && Take(text, at, separator) ? Name(text, at, kMonths) : std::nullopt;
    const auto year = month && Take(text, at, separator) ? Digits(text, at, yearDigits) : std::nullopt;
    if (!year || !Take(text, at, " ") || !TimeOfDay(text, at, parts) || !Take(text, at, " GMT"))
        return false;
    parts.Year = yearDigits == 2 ? *year + (*year < 70 ? 2000 : 1900) : *year;
    parts.Month = *month;
    parts.Day = *day;
    return at == text.size();
}

// "Sun Nov  6 08:49:37 1994"
bool AsctimeDate(std::string_view text, DateParts& parts) {
    size_t at = 0;
    if (!Name(text, at, kDays) || !Take(text, at, " "))
        return false;
    const auto month = Name(text, at, kMonths);
    if (!month || !Take(text, at, " "))
        return false;
    const auto day = Take(text, at, " ") ? Digits(text, at, 1) : Digits(text, at, 2);
    if (!day || !Take(text, at, " ") || !TimeOfDay(text, at, parts) || !Take(text, at, " "))
        return false;
    const auto year = Digits(text, at, 4);
    if (!year)
        return false;
    parts.Year = *year;
    parts.Month = *month;
    parts.Day = *day;
    return at == text.size();
}

}  // namespace

std::optional<std::uint64_t> ParseContentLength(std::string_view text) {
    size_t at = 0;
    const auto value = Number(text, at);
    return value && at == text.size() ? value : std::nullopt;
}

std::optional<ContentRange> ParseContentRange(std::string_view text) {
    size_t at = 0;
    ContentRange range;
    if (!Take(text, at, "bytes "))
        return std::nullopt;
    if (Take(text, at, "*/")) {
        range.Unsatisfied = true;
    } else {
        const auto first = Number(text, at);
        const auto last = first && Take(text, at, "-") ? Number(text, at) : std::nullopt;
        if (!last || !Take(text, at, "/"))
            return std::nullopt;
        range.First = *first;
        range.Last = *last;
    }
    const auto total = Number(text, at);
    if (!total || at != text.size())
        return std::nullopt;
    range.Total = *total;
    if (!range.Unsatisfied && (range.First > range.Last || range.Last >= range.Total))
        return std::nullopt;
    return range;
}

std::optional<std::int64_t> ParseHttpDate(std::string_view text) {
    DateParts parts;
    if (!DayFirstDate(text, kDays, " ", 4, parts) && !DayFirstDate(text, kLongDays, "-", 2, parts) &&
        !AsctimeDate(text, parts))
        return std::nullopt;
    if (parts.Day < 1 || parts.Day > DaysInMonth(parts.Year, parts.Month) || parts.Hour > 23 || parts.Minute > 59 ||
        parts.Second > 60)
        return std::nullopt;
    return DaysSinceEpoch(parts.Year, parts.Month, parts.Day) * kSecondsPerDay + parts.Hour * 3600 + parts.Minute * 60 +
           parts.Second;
}

bool IsEntityTag(std::string_view text) {
    if (IsWeakEntityTag(text))
        text.remove_prefix(2);
    if (text.size() < 2 || text.size() > kMaxEntityTag || text.front() != '"' || text.back() != '"')
        return false;
    for (char c : text.substr(1, text.size() - 2)) {
        if (c < 0x21 || c > 0x7E || c == '"')
            return false;
    }
    return true;
}

}  // namespace zid
