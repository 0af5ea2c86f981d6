#pragma once

#include <chrono>
#include <string_view>

namespace qx {

// How long to wait before asking again after a 429 or 503 answer, from its
// Retry-After header: delta seconds or an HTTP date (the three forms HTTP
// allows), bounded to 0..60 s. No header waits 1 s; a value that is neither
// (garbage) waits 1 s too; a negative number or a date in the past waits 0 s.
std::chrono::milliseconds RetryAfterDelay(std::string_view value,
                                          std::chrono::system_clock::time_point now);

constexpr std::chrono::milliseconds kRetryAfterDefault{1000};
constexpr std::chrono::milliseconds kRetryAfterMax{60000};

}  // namespace qx
