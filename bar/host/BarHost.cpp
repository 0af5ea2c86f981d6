#include "bar/host/BarHost.h"

#include "bar/host/BarIdentity.h"
#include "bar/host/NativeMessaging.h"
#include "bar/host/ProgramLauncher.h"
#include "links/EnginesFile.h"

#include <nlohmann/json.hpp>

#include <utility>

namespace qx {

namespace {

using Json = nlohmann::json;

std::string Dump(const Json& reply) {
    return reply.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string ErrorReply(std::string_view error) {
    return Dump(Json{{"ok", false}, {"error", error}});
}

std::string_view TrimWhiteSpace(std::string_view text) {
    constexpr std::string_view kWhite = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(kWhite);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kWhite) - first + 1);
}

// The string field `name` of the request, when it is one and not too long.
const std::string* StringField(const Json& request, const char* name, std::size_t maxBytes) {
    const auto it = request.find(name);
    if (it == request.end() || !it->is_string())
        return nullptr;
    const std::string* value = it->get_ptr<const std::string*>();
    return value->size() <= maxBytes ? value : nullptr;
}

std::string_view ResultName(EnginesFile::LearnResult result) {
    switch (result) {
        case EnginesFile::LearnResult::Added:
            return "added";
        case EnginesFile::LearnResult::FileNotFound:
            return "fileNotFound";
        case EnginesFile::LearnResult::WriteFailed:
            return "writeFailed";
        case EnginesFile::LearnResult::NothingToLearn:
            break;
    }
    return "nothing";
}

}  // namespace

BarHost::BarHost(std::string programFolder, Starter starter)
    : programFolder_(std::move(programFolder)), starter_(std::move(starter)) {}

std::string BarHost::Handle(std::string_view request) {
    const Json message = Json::parse(request.begin(), request.end(), nullptr, false);
    if (message.is_discarded() || !message.is_object())
        return ErrorReply("not a JSON object");
    const auto type = message.find("type");
    if (type == message.end() || !type->is_string())
        return ErrorReply("no message type");
    if (*type == "launch") {
        const std::string* words = StringField(message, "words", kMaxWordsBytes);
        if (!words)
            return ErrorReply("The search words must be a text of at most 4 KB.");
        return Launch(*words);
    }
    if (*type == "learn") {
        const std::string* location = StringField(message, "location", kMaxLocationBytes);
        if (!location)
            return ErrorReply("location must be a text of at most 64 KB");
        return Learn(*location);
    }
    return ErrorReply("unknown message type");
}

std::string BarHost::Launch(std::string_view words) {
    if (words.empty())
        return ErrorReply(kMsgNoWords);
    if (words.find('\0') != std::string_view::npos)
        return ErrorReply("The search words hold a NUL character.");
    const std::string trimmed(TrimWhiteSpace(words));
    const std::string program = ProgramLauncher::ProgramFor(programFolder_);
    if (starter_(program, trimmed))
        return Dump(Json{{"ok", true}, {"started", true}});
    // Otherwise the popup would stay blank and the user would never learn
    // why no search came up.
    return Dump(Json{{"ok", true}, {"started", false}, {"message", NotStartedMessage(program)}});
}

std::string BarHost::NotStartedMessage(const std::string& program) {
    const std::string tried =
        program.find('/') == std::string::npos ? program + " (looked up on PATH)" : program;
    return "QuillEx could not start " + tried +
           ": install QuillEx or set [Main] Path in ~/.config/Quillex/Quillex.ini to the "
           "folder that holds quillex.";
}

std::string BarHost::Learn(std::string_view location) {
    const EnginesFile::LearnResult result =
        EnginesFile::Learn(location, EnginesFile::Location(programFolder_));
    return Dump(Json{{"ok", true},
                     {"result", ResultName(result)},
                     {"message", EnginesFile::MessageFor(result)}});
}

int BarHost::Run(std::istream& in, std::ostream& out, std::ostream& log) {
    std::string request;
    for (;;) {
        switch (NativeMessaging::ReadFrame(in, request)) {
            case NativeMessaging::ReadResult::EndOfInput:
                return 0;
            case NativeMessaging::ReadResult::Broken:
                log << "qxbar-host: the input ended inside a message\n";
                return 1;
            case NativeMessaging::ReadResult::TooLong:
                log << "qxbar-host: a message is longer than the host accepts\n";
                return 1;
            case NativeMessaging::ReadResult::Message:
                break;
        }
        if (!NativeMessaging::WriteFrame(out, Handle(request))) {
            log << "qxbar-host: cannot answer the browser\n";
            return 1;
        }
    }
}

bool BarHost::IsOurCaller(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == BarIdentity::kChromiumOrigin)
        return true;
    return args.size() >= 2 && args[1] == BarIdentity::kFirefoxId;
}

}  // namespace qx
