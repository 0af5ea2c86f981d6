#include "search/RetryAfter.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "html/AsciiText.h"

namespace qx {

namespace {

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsAsciiDigit);
}

// Digits as a number, saturating far above any bound used here.
long long DigitsValue(std::string_view digits) {
    long long value = 0;
    for (char c : digits) {
        value = std::min(value * 10 + (c - '0'), 1000000000000000LL);
    }
    return value;
}

std::optional<int> MonthOf(std::string_view name) {
    static constexpr std::array<const char*, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name.size() != 3) {
        return std::nullopt;
    }
    for (std::size_t m = 0; m < kMonths.size(); ++m) {
        bool same = true;
        for (std::size_t i = 0; i < 3; ++i) {
            same = same && LowerAscii(name[i]) == kMonths[m][i];
        }
        if (same) {
            return static_cast<int>(m) + 1;
        }
    }
    return std::nullopt;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian calendar).
long long DaysFromCivil(long long y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::optional<long long> ClockSeconds(std::string_view hms) {
    if (hms.size() != 8 || hms[2] != ':' || hms[5] != ':' || !AllDigits(hms.substr(0, 2)) ||
        !AllDigits(hms.substr(3, 2)) || !AllDigits(hms.substr(6, 2))) {
        return std::nullopt;
    }
    const long long h = DigitsValue(hms.substr(0, 2));
    const long long m = DigitsValue(hms.substr(3, 2));
    const long long s = DigitsValue(hms.substr(6, 2));
    if (h > 23 || m > 59 || s > 60) {
        return std::nullopt;
    }
    return h * 3600 + m * 60 + s;
}

// Seconds since 1970 of an HTTP date: "Sun, 06 Nov 1994 08:49:37 GMT",
// "Sunday, 06-Nov-94 08:49:37 GMT" or "Sun Nov  6 08:49:37 1994".
std::optional<long long> HttpDateSeconds(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t end = text.find_first_of(" ,-", i);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        if (stop > i) {
            tokens.push_back(text.substr(i, stop - i));
        }
        i = stop + 1;
    }
    std::optional<int> month;
    std::optional<long long> clock;
    std::vector<std::string_view> numbers;
    for (std::string_view token : tokens) {
        if (!month && MonthOf(token)) {
            month = MonthOf(token);
        } else if (token.find(':') != std::string_view::npos) {
            clock = ClockSeconds(token);
        } else if (AllDigits(token)) {
            numbers.push_back(token);
        }
    }
    if (!month || !clock || numbers.size() != 2) {
        return std::nullopt;
    }
    // The year is the number of four digits; RFC 850 writes two, after the day.
    std::string_view day = numbers[0];
    std::string_view year = numbers[1];
    if (day.size() == 4) {
        std::swap(day, year);
    }
    if (day.size() > 2 || (year.size() != 4 && year.size() != 2)) {
        return std::nullopt;
    }
    long long y = DigitsValue(year);
    if (year.size() == 2) {
        y += y < 70 ? 2000 : 1900;
    }
    const int d = static_cast<int>(DigitsValue(day));
    if (d < 1 || d > 31) {
        return std::nullopt;
    }
    return DaysFromCivil(y, *month, d) * 86400 + *clock;
}

std::chrono::milliseconds Bounded(std::chrono::milliseconds delay) {
    return std::clamp(delay, std::chrono::milliseconds::zero(), kRetryAfterMax);
}

}  // namespace

std::chrono::milliseconds RetryAfterDelay(std::string_view value,
                                          std::chrono::system_clock::time_point now) {
    value = Trim(value);
    if (value.empty()) {
        return kRetryAfterDefault;
    }
    const bool negative = value.front() == '-';
    const std::string_view digits = negative ? value.substr(1) : value;
    if (AllDigits(digits)) {
        if (negative) {
            return std::chrono::milliseconds::zero();
        }
        const long long seconds = std::min(DigitsValue(digits), 1000000LL);
        return Bounded(std::chrono::seconds(seconds));
    }
    const std::optional<long long> date = HttpDateSeconds(value);
    if (!date) {
        return kRetryAfterDefault;
    }
    // In milliseconds from here: a year 9999 would overflow the clock's own unit.
    const long long nowMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    return Bounded(std::chrono::milliseconds(*date * 1000 - nowMs));
}

}  // namespace qx
