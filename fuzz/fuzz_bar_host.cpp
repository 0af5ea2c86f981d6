// The search bar host's frame and message reader on any bytes: frames are
// read and answered until the input ends or breaks. Nothing is started, and
// learning points at a program folder that does not exist, so no file is
// ever written.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "bar/host/BarHost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static qx::BarHost host("/nonexistent/quillex-fuzz",
                            [](const std::string&, const std::string&) { return true; });
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream out;
    std::ostringstream log;
    host.Run(in, out, log);
    return 0;
}
