#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

namespace qx {

// The browsers' native messaging framing on the host's standard streams: a
// 4-byte length in the machine's byte order, then that many bytes of UTF-8
// JSON.
class NativeMessaging {
public:
    // The browsers refuse longer messages from a host.
    static constexpr std::size_t kMaxReplyBytes = 1024 * 1024;
    // Nothing the bar sends comes near this; a longer frame is not ours.
    static constexpr std::size_t kMaxRequestBytes = 1024 * 1024;

    enum class ReadResult { Message, EndOfInput, Broken, TooLong };

    // Reads one frame into `message`. EndOfInput only when the stream ends
    // exactly between frames.
    static ReadResult ReadFrame(std::istream& in, std::string& message);

    // Writes one frame and flushes it; false when the message is too long for
    // the browser or the stream failed.
    static bool WriteFrame(std::ostream& out, std::string_view message);
};

}  // namespace qx
