#include "links/ProgramFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace qx {
namespace {

namespace fs = std::filesystem;

class ProgramFolderDir : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qx-folder-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Put(const fs::path& file, const std::string& text = "x") {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }

    fs::path dir_;
};

// Each step of the order, with the steps before it empty and the ones after
// it present: the first that has a folder wins.
TEST_F(ProgramFolderDir, TheFirstStepWithAFolderWins) {
    const fs::path usr = dir_ / "usr";
    const fs::path share = usr / "share" / "quillex";
    const fs::path build = dir_ / "build" / "app";
    const fs::path settings = dir_ / "Quillex.ini";
    struct Case {
        const char* name;
        std::string ini;        // the settings file; none when empty
        const char* shareFile;  // what share/quillex holds
        const char* ownFile;    // what the program's own folder holds
        fs::path executable;
        std::string expected;
    };
    const Case cases[] = {
        {"Path set", "[Main]\nPath=/opt/q\n", "engines.qeg", "engines.qeg", usr / "bin" / "quillex",
         "/opt/q"},
        {"Path empty: installed, from bin/", "[Main]\nPath=\n", "engines.qeg", "",
         usr / "bin" / "q", share.string()},
        {"installed, the host from lib/quillex/", "", "qxhlp.html", "",
         usr / "lib" / "quillex" / "qxbar-host", share.string()},
        {"Path in another section", "[General]\nPath=/opt/q\n", "", "engines.qeg",
         build / "quillex", build.string()},
        {"own folder with the help page", "", "", "qxhlp.html", build / "quillex", build.string()},
        {"nothing anywhere: the current directory", "", "", "", build / "quillex", ""},
        {"share/quillex holding other files", "", "README", "", usr / "bin" / "quillex", ""},
        {"no executable known", "", "engines.qeg", "engines.qeg", fs::path(), ""},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        if (!c.ini.empty())
            Put(settings, c.ini);
        if (*c.shareFile != '\0')
            Put(share / c.shareFile);
        if (*c.ownFile != '\0')
            Put(build / c.ownFile);
        EXPECT_EQ(ProgramFolderLookup::Find(settings.string(), c.executable), c.expected) << c.name;
    }
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The install script fills [Main] Path only when the lookup would find none
// there, and what it writes reads back as the folder it was given.
TEST_F(ProgramFolderDir, TheInstallScriptRecordsWhatTheLookupReads) {
    const fs::path settings = dir_ / "Quillex" / "Quillex.ini";
    struct Case {
        const char* name;
        std::string before;  // the settings file before; none when empty
        std::string folder;
        std::string expected;
    };
    const Case cases[] = {
        {"no file yet", "", "/usr/share/quillex", "/usr/share/quillex"},
        {"blanks, comma and semicolon", "[General]\nx=10\n", "/my programs/a,b;c",
         "/my programs/a,b;c"},
        {"leading @ signs", "", "@@home/q", "@@home/q"},
        {"an empty Path is replaced", "[Main]\nPath=\"\"\n", "/new", "/new"},
        {"a commented Path is none", "[Main]\nPath= ; old\n", "/new", "/new"},
        {"not a text", "[Main]\nPath=@Invalid()\n", "/new", "/new"},
        {"a later empty Path clears it", "[Main]\nPath=/old\n[Main]\nPath=\n", "/new", "/new"},
        {"a set Path is kept", "[Polite]\nPath=/p\n[Main]\nPath=\"/old\" ; x\n", "/new", "/old"},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir_ / "Quillex");
        if (!c.before.empty())
            Put(settings, c.before);
        const std::string command = "XDG_CONFIG_HOME='" + dir_.string() + "' '" +
                                    std::string(QX_SCRIPTS_DIR) + "/set-program-folder.sh' '" +
                                    c.folder + "' >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << c.name;
        const std::string ini = ReadAll(settings);
        EXPECT_EQ(ProgramFolderLookup::PathFromIni(ini), c.expected) << c.name << "\n" << ini;
    }
}

// Values as QSettings writes them (its INI escaping) and as people and the
// install script write them.
TEST(ProgramFolderIni, PathIsReadWithTheSettingsFileEscaping) {
    struct Case {
        const char* name;
        std::string ini;
        std::string expected;
    };
    const Case cases[] = {
        {"plain", "[Main]\nPath=/opt/quillex\n", "/opt/quillex"},
        {"CR LF and a byte order mark", "\xEF\xBB\xBF[Main]\r\nPath=/a\r\n", "/a"},
        {"blanks inside stay, at the ends go", "[Main]\nPath = /my  programs \n", "/my  programs"},
        {"quoted by the install script", "[Main]\nPath=\"/my programs\"\n", "/my programs"},
        {"quoted blanks at the ends", "[Main]\nPath=\" /x \"\n", " /x "},
        {"quoted comma and semicolon", "[Main]\nPath=\"/a,b;c\"\n", "/a,b;c"},
        {"escaped quote and backslash", "[Main]\nPath=/q\\\"x\\\\y\n", "/q\"x\\y"},
        {"control bytes and hex", "[Main]\nPath=/t\\tx\\x41\\x1\\x61\n",
         "/t\txA\x01"
         "a"},
        {"octal", "[Main]\nPath=/\\101\\60\n", "/A0"},
        {"UTF-8 kept, \\x escape encoded", "[Main]\nPath=/caf\xC3\xA9\\xe9\n",
         "/caf\xC3\xA9\xC3\xA9"},
        {"a leading @ is doubled", "[Main]\nPath=@@home\n", "@home"},
        {"comment after the value", "[Main]\nPath=/a ; old\n", "/a"},
        {"continued line", "[Main]\nPath=/a\\\nb\n", "/ab"},
        {"a list is no folder", "[Main]\nPath=/a,/b\n", ""},
        {"not a text", "[Main]\nPath=@Invalid()\n", ""},
        {"a byte array is a text", "[Main]\nPath=@ByteArray(/z)\n", "/z"},
        {"last one wins", "[Main]\nPath=/a\n[Polite]\nPath=/p\n[ Main ]\nPath=/b\n", "/b"},
        {"names are case-sensitive", "[main]\nPath=/a\n[Main]\npath=/b\n", ""},
        {"commented out", "[Main]\n;Path=/a\n#Path=/b\n", ""},
        {"unterminated section", "[Main\nPath=/a\n", ""},
        {"no newline at the end", "[Main]\nPath=/end", "/end"},
        {"empty file", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProgramFolderLookup::PathFromIni(c.ini), c.expected) << c.name;
}

}  // namespace
}  // namespace qx
