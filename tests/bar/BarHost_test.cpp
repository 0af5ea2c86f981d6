#include "bar/host/BarHost.h"

#include "bar/host/BarIdentity.h"
#include "bar/host/HostRegistration.h"
#include "bar/host/NativeMessaging.h"
#include "bar/host/ProgramLauncher.h"
#include "links/ProgramFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace qx {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

std::string Frame(std::string_view body, std::uint32_t length) {
    std::string frame(4, '\0');
    std::memcpy(frame.data(), &length, 4);
    return frame.append(body);
}
std::string Frame(std::string_view body) {
    return Frame(body, static_cast<std::uint32_t>(body.size()));
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class BarHostDir : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("qxbar_" + std::to_string(::getpid()) + "_" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "program folder");
        // The stand-in program records its arguments: the count, then each
        // one ended by NUL; and it makes noise on its standard streams.
        program_ = dir_ / "program folder" / "quillex";
        args_ = program_.string() + ".args";
        std::ofstream(program_) << "#!/bin/sh\necho noise; echo noise >&2\n"
                                << "{ printf '%s\\n' \"$#\"; printf '%s\\0' \"$@\"; } >\"$0.tmp\"\n"
                                << "mv \"$0.tmp\" \"$0.args\"\n";
        fs::permissions(program_, fs::perms::owner_all);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // The arguments the stand-in received, or "none" when it did not run.
    std::string RecordedArgs(std::chrono::milliseconds patience = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (!fs::exists(args_) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::string args = fs::exists(args_) ? ReadAll(args_) : "none";
        fs::remove(args_);
        return args;
    }

    BarHost Host() { return BarHost((dir_ / "program folder").string(), &ProgramLauncher::Start); }

    fs::path dir_;
    fs::path program_;
    fs::path args_;
};

TEST(NativeMessagingTest, FramesEndCleanlyOnEveryBrokenInput) {
    using R = NativeMessaging::ReadResult;
    struct Case {
        const char* name;
        std::string input;
        R expected;
    };
    const Case cases[] = {
        {"empty input", "", R::EndOfInput},
        {"length 0", Frame(""), R::Message},
        {"half a header", std::string("\x05\x00", 2), R::Broken},
        {"shorter than its length", Frame("{}", 3), R::Broken},
        {"4 GB", Frame("{}", 0xFFFFFFFFu), R::TooLong},
        {"just over the limit", Frame("", NativeMessaging::kMaxRequestBytes + 1), R::TooLong},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.input);
        std::string message = "stale";
        EXPECT_EQ(NativeMessaging::ReadFrame(in, message), c.expected) << c.name;
    }
    std::ostringstream out;
    ASSERT_TRUE(NativeMessaging::WriteFrame(out, "{\"ok\":true}"));
    EXPECT_EQ(out.str(), Frame("{\"ok\":true}"));
    EXPECT_FALSE(
        NativeMessaging::WriteFrame(out, std::string(NativeMessaging::kMaxReplyBytes + 1, 'x')));
}

TEST_F(BarHostDir, BadMessagesGetErrorRepliesAndStartNothing) {
    const std::string bad[] = {
        "",
        "not json",
        "[1,2]",
        R"({"type":"format","words":"x"})",
        R"({"words":"red cars"})",
        R"({"type":"launch","words":17})",
        R"({"type":"launch","words":""})",
        R"({"type":"launch","words":"red\u0000cars"})",
        "{\"type\":\"launch\",\"words\":\"red \xff cars\"}",
        R"({"type":"launch","words":")" + std::string(BarHost::kMaxWordsBytes + 1, 'a') + "\"}",
        R"({"type":"learn","location":["http://a/?q=quillex"]})",
    };
    std::string input;
    for (const std::string& request : bad)
        input += Frame(request);
    std::istringstream in(input);
    std::ostringstream out, log;
    EXPECT_EQ(Host().Run(in, out, log), 0);
    std::istringstream replies(out.str());
    std::string reply;
    for (const std::string& request : bad) {
        ASSERT_EQ(NativeMessaging::ReadFrame(replies, reply), NativeMessaging::ReadResult::Message)
            << request;
        EXPECT_EQ(Json::parse(reply)["ok"], false) << request;
    }
    EXPECT_EQ(RecordedArgs(std::chrono::milliseconds(300)), "none");
}

TEST_F(BarHostDir, LaunchPassesTheTrimmedWordsAsOneArgument) {
    struct Case {
        const char* words;
        std::string expected;
    };
    const Case cases[] = {
        {"red  cars", std::string("1\nred  cars\0", 12)},
        {" \t red cars \n", std::string("1\nred cars\0", 11)},
        {"   ", std::string("1\n\0", 3)},
        {"; rm -rf ~ $(touch pwned) `touch pwned`",
         std::string("1\n; rm -rf ~ $(touch pwned) `touch pwned`\0", 42)},
        {"--help", std::string("1\n--help\0", 9)},
        {"-x", std::string("1\n-x\0", 5)},
    };
    for (const Case& c : cases) {
        const std::string reply =
            Host().Handle(Json{{"type", "launch"}, {"words", c.words}}.dump());
        EXPECT_EQ(Json::parse(reply)["started"], true) << c.words;
        EXPECT_EQ(RecordedArgs(), c.expected) << c.words;
    }
    EXPECT_FALSE(fs::exists("pwned"));
    EXPECT_FALSE(fs::exists(dir_ / "program folder" / "pwned"));
}

TEST_F(BarHostDir, WithoutPathTheProgramIsLookedUpOnPath) {
    EXPECT_EQ(ProgramLauncher::ProgramFor(""), "quillex");
    const std::string oldPath = std::getenv("PATH");
    ::setenv("PATH", ((dir_ / "program folder").string() + ":" + oldPath).c_str(), 1);
    const bool started = ProgramLauncher::Start(ProgramLauncher::ProgramFor(""), "cats");
    ::setenv("PATH", oldPath.c_str(), 1);
    EXPECT_TRUE(started);
    EXPECT_EQ(RecordedArgs(), std::string("1\ncats\0", 7));
    EXPECT_FALSE(ProgramLauncher::Start((dir_ / "missing").string(), "cats"));
}

TEST_F(BarHostDir, AProgramThatCannotStartIsExplainedInOneLine) {
    struct Case {
        const char* name;
        std::string folder;
        std::string tried;
    };
    const Case cases[] = {
        {"no program in the folder", (dir_ / "empty").string(),
         (dir_ / "empty" / "quillex").string()},
        {"no folder and none on PATH", "", "quillex (looked up on PATH)"},
    };
    const std::string oldPath = std::getenv("PATH");
    ::setenv("PATH", (dir_ / "empty").c_str(), 1);
    for (const Case& c : cases) {
        const Json reply =
            Json::parse(BarHost(c.folder, &ProgramLauncher::Start)
                            .Handle(Json{{"type", "launch"}, {"words", "cats"}}.dump()));
        EXPECT_EQ(reply["started"], false) << c.name;
        const std::string message = reply.value("message", "");
        EXPECT_NE(message.find(c.tried + ":"), std::string::npos) << c.name << ": " << message;
        EXPECT_NE(message.find("[Main] Path"), std::string::npos) << c.name << ": " << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << c.name << ": " << message;
    }
    ::setenv("PATH", oldPath.c_str(), 1);
}

TEST_F(BarHostDir, TheHostsStandardOutputCarriesOnlyReplies) {
    const fs::path in = dir_ / "in", out = dir_ / "out";
    std::ofstream(in, std::ios::binary)
        << Frame(R"({"type":"launch","words":"cats"})") << Frame("{}");
    fs::create_directories(dir_ / "config" / "Quillex");
    std::ofstream(dir_ / "config" / "Quillex" / "Quillex.ini")
        << "[Main]\nPath=\"" << (dir_ / "program folder").string() << "\"\n";
    const std::string command = "XDG_CONFIG_HOME='" + (dir_ / "config").string() + "' '" +
                                QXBAR_HOST_PATH + "' " + std::string(BarIdentity::kChromiumOrigin) +
                                " < '" + in.string() + "' > '" + out.string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(RecordedArgs(), std::string("1\ncats\0", 7));
    std::istringstream replies(ReadAll(out));
    std::string reply;
    ASSERT_EQ(NativeMessaging::ReadFrame(replies, reply), NativeMessaging::ReadResult::Message);
    EXPECT_EQ(Json::parse(reply)["started"], true);
    ASSERT_EQ(NativeMessaging::ReadFrame(replies, reply), NativeMessaging::ReadResult::Message);
    EXPECT_EQ(NativeMessaging::ReadFrame(replies, reply), NativeMessaging::ReadResult::EndOfInput);
    // Anyone else is refused.
    EXPECT_NE(std::system((std::string(QXBAR_HOST_PATH) + " chrome-extension://other/ < '" +
                           in.string() + "' >/dev/null 2>&1")
                              .c_str()),
              0);
}

TEST_F(BarHostDir, LearningAppendsToTheEnginesFileOnly) {
    const fs::path engines = dir_ / "program folder" / "engines.qeg";
    const std::string learn =
        Json{{"type", "learn"}, {"location", "http://e.test/s?q=quillex&n=1"}}.dump();
    Json reply = Json::parse(Host().Handle(learn));
    EXPECT_EQ(reply["message"], "Engine File not Found");
    EXPECT_FALSE(fs::exists(engines));

    std::ofstream(engines, std::ios::binary) << "http://a.test/?q=|search -1 -1";
    reply = Json::parse(Host().Handle(learn));
    EXPECT_EQ(reply["result"], "added");
    EXPECT_EQ(reply["message"], "Search engine added to QuillEx");
    EXPECT_EQ(ReadAll(engines),
              "http://a.test/?q=|search -1 -1\r\nhttp://e.test/s?q=|search&n=1 -1 -1\r\n");
}

TEST_F(BarHostDir, RegistrationWritesAndRemovesOnlyOurManifests) {
    const auto targets = HostRegistration::UserTargets((dir_ / "home").string(), "");
    ASSERT_EQ(targets.size(), 3u);
    // Firefox's folder cannot be made: a file stands where it belongs.
    fs::create_directories(dir_ / "home");
    std::ofstream(dir_ / "home" / ".mozilla");
    std::ostringstream log;
    EXPECT_FALSE(HostRegistration::Register("/opt/q/qxbar-host", targets, log));
    const fs::path chromium = dir_ / "home/.config/chromium/NativeMessagingHosts";
    const Json manifest = Json::parse(ReadAll(chromium / "quillex.qxbar.json"));
    EXPECT_EQ(manifest["path"], "/opt/q/qxbar-host");
    EXPECT_EQ(manifest["type"], "stdio");
    EXPECT_EQ(manifest["allowed_origins"][0], BarIdentity::kChromiumOrigin);
    EXPECT_TRUE(fs::exists(dir_ / "home/.config/google-chrome/NativeMessagingHosts" /
                           "quillex.qxbar.json"));

    fs::remove(dir_ / "home" / ".mozilla");
    EXPECT_TRUE(HostRegistration::Register("/opt/q/qxbar-host", targets, log));
    const fs::path firefox = dir_ / "home/.mozilla/native-messaging-hosts/quillex.qxbar.json";
    EXPECT_EQ(Json::parse(ReadAll(firefox))["allowed_extensions"][0], BarIdentity::kFirefoxId);

    std::ofstream(chromium / "other.json") << "{}";
    EXPECT_TRUE(HostRegistration::Unregister(targets, log));
    EXPECT_FALSE(fs::exists(chromium / "quillex.qxbar.json"));
    EXPECT_FALSE(fs::exists(firefox));
    EXPECT_TRUE(fs::exists(chromium / "other.json"));
    EXPECT_TRUE(fs::is_directory(firefox.parent_path()));
    EXPECT_TRUE(HostRegistration::Unregister(targets, log));
}

TEST_F(BarHostDir, TheInstalledProgramFolderIsFoundBesideTheProgramOrTheHost) {
    // An installed tree: bin/ for the programs, lib/quillex/ for the host.
    const fs::path usr = dir_ / "usr";
    fs::create_directories(usr / "share" / "quillex");
    std::ofstream(usr / "share" / "quillex" / "engines.qeg") << "http://a.test/?q=|search\r\n";
    const std::string folder = (usr / "share" / "quillex").string();
    struct Case {
        const char* name;
        fs::path executable;
        std::string expected;
    };
    const Case cases[] = {
        {"a program in bin/", usr / "bin" / "quillex-cli", folder},
        {"the host in lib/quillex/", usr / "lib" / "quillex" / "qxbar-host", folder},
        {"a program elsewhere", dir_ / "build" / "cli" / "quillex-cli", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProgramFolderLookup::InstalledBeside(c.executable), c.expected) << c.name;

    // A share/quillex without the engines file is not the program folder.
    fs::remove(usr / "share" / "quillex" / "engines.qeg");
    EXPECT_EQ(ProgramFolderLookup::InstalledBeside(usr / "bin" / "quillex-cli"), "");
}

TEST(BarHostCaller, OnlyOurExtensionMayStartTheHost) {
    const std::string origin(BarIdentity::kChromiumOrigin), id(BarIdentity::kFirefoxId);
    EXPECT_TRUE(BarHost::IsOurCaller({origin}));
    EXPECT_TRUE(BarHost::IsOurCaller({"/home/u/.mozilla/native-messaging-hosts/q.json", id}));
    EXPECT_FALSE(BarHost::IsOurCaller({}));
    EXPECT_FALSE(BarHost::IsOurCaller({"chrome-extension://abcdefghijklmnopabcdefghijklmnop/"}));
    EXPECT_FALSE(BarHost::IsOurCaller({id}));
}

}  // namespace
}  // namespace qx
