#pragma once

#include <cstddef>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// The native messaging host of the browser search bar. It knows two
// messages from the bar's extension:
//   {"type":"launch","words":"..."}   start the desktop program on the words
//                                     (a "message" tells why it did not start)
//   {"type":"learn","location":"..."} learn an engine from a result page
// and answers each with one reply; anything else gets an error reply.
class BarHost {
public:
    static constexpr std::size_t kMaxWordsBytes = 4 * 1024;
    static constexpr std::size_t kMaxLocationBytes = 64 * 1024;
    static constexpr std::string_view kMsgNoWords = "No Search words entered.";

    // Starts `program` with `words` as its one argument; true when started.
    using Starter = std::function<bool(const std::string& program, const std::string& words)>;

    BarHost(std::string programFolder, Starter starter);

    // The reply to one request, as JSON text.
    std::string Handle(std::string_view request);

    // Answers frames from `in` on `out` until the browser closes `in` (0), or
    // a frame is broken or too long, or a reply cannot be written (1).
    int Run(std::istream& in, std::ostream& out, std::ostream& log);

    // True when the browser started the host for our extension: Chromium
    // passes the caller's origin first, Firefox the manifest's path and then
    // the extension's ID.
    static bool IsOurCaller(const std::vector<std::string>& args);

    // The one line the bar shows when the program could not be started.
    static std::string NotStartedMessage(const std::string& program);

private:
    std::string Launch(std::string_view words);
    std::string Learn(std::string_view location);

    std::string programFolder_;
    Starter starter_;
};

}  // namespace qx
