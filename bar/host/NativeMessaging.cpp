#include "bar/host/NativeMessaging.h"

#include <cstring>

namespace qx {

NativeMessaging::ReadResult NativeMessaging::ReadFrame(std::istream& in, std::string& message) {
    char header[4];
    in.read(header, sizeof header);
    if (in.gcount() == 0 && in.eof())
        return ReadResult::EndOfInput;
    if (in.gcount() != sizeof header)
        return ReadResult::Broken;
    std::uint32_t length = 0;
    std::memcpy(&length, header, sizeof length);
    if (length > kMaxRequestBytes)
        return ReadResult::TooLong;
    message.assign(length, '\0');
    in.read(message.data(), length);
    if (static_cast<std::uint32_t>(in.gcount()) != length) {
        message.clear();
        return ReadResult::Broken;
    }
    return ReadResult::Message;
}

bool NativeMessaging::WriteFrame(std::ostream& out, std::string_view message) {
    if (message.size() > kMaxReplyBytes)
        return false;
    const auto length = static_cast<std::uint32_t>(message.size());
    char header[4];
    std::memcpy(header, &length, sizeof header);
    out.write(header, sizeof header);
    out.write(message.data(), static_cast<std::streamsize>(message.size()));
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace qx
