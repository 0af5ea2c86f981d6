#pragma once

#include <string_view>

namespace qx {

// Who may talk to the host and what the browsers know it by.
struct BarIdentity {
    // The native messaging host's name in the browsers' host manifests.
    static constexpr std::string_view kHostName = "quillex.qxbar";
    static constexpr std::string_view kDescription = "QuillEx Search Bar";
    // Chromium derives the extension's ID from the public key in its manifest.
    static constexpr std::string_view kChromiumId = "dffpecacjnjdpnkfmpildbalhjpaohkc";
    static constexpr std::string_view kChromiumOrigin =
        "chrome-extension://dffpecacjnjdpnkfmpildbalhjpaohkc/";
    // Firefox knows the extension by the ID in its manifest.
    static constexpr std::string_view kFirefoxId = "qxbar@quillex.invalid";
};

}  // namespace qx
