#include "links/ProgramFolder.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "html/AsciiText.h"
#include "links/EnginesFile.h"

namespace qx {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBlanks = " \t";

bool IsHexDigit(char c) {
    return IsAsciiDigit(c) || (LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f');
}

int HexValue(char c) {
    return IsAsciiDigit(c) ? c - '0' : LowerAscii(c) - 'a' + 10;
}

// A UTF-16 code unit from an escape, as the UTF-8 bytes QSettings stores for
// it (a lone surrogate has none).
void AppendCodeUnit(unsigned value, std::string& out) {
    if (value < 0x80) {
        out += static_cast<char>(value);
    } else if (value < 0x800) {
        out += static_cast<char>(0xC0 | (value >> 6));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else if (value < 0xD800 || (value > 0xDFFF && value <= 0xFFFF)) {
        out += static_cast<char>(0xE0 | (value >> 12));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    }
}

// The escape after a backslash at `text[at - 1]`; returns the index after it.
// An unknown escape stands for nothing, as in QSettings.
std::size_t AppendEscape(std::string_view text, std::size_t at, std::string& out) {
    if (at >= text.size()) {
        return at;
    }
    static constexpr std::string_view kNames = "abfnrtv'\"\\?";
    static constexpr std::string_view kBytes = "\a\b\f\n\r\t\v'\"\\?";
    const char c = text[at];
    if (const std::size_t named = kNames.find(c); named != std::string_view::npos) {
        out += kBytes[named];
        return at + 1;
    }
    const bool hex = c == 'x';
    const bool octal = c >= '0' && c <= '7';
    if (!hex && !octal) {
        return at + 1;
    }
    std::size_t i = hex ? at + 1 : at;
    unsigned value = 0;
    for (; i < text.size() && (hex ? IsHexDigit(text[i]) : text[i] >= '0' && text[i] <= '7'); ++i) {
        value = (value * (hex ? 16 : 8) + static_cast<unsigned>(HexValue(text[i]))) & 0xFFFF;
    }
    AppendCodeUnit(value, out);
    return i;
}

// A value's text as QSettings reads it: quotes group, backslashes escape, an
// unquoted ';' starts a comment and blanks at the ends fall away. Nothing
// when an unquoted ',' makes it a list.
std::optional<std::string> DecodeValue(std::string_view raw) {
    std::string out;
    std::string blanks;  // unquoted, kept only when more text follows
    bool quoted = false;
    for (std::size_t i = 0; i < raw.size();) {
        const char c = raw[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            blanks += c;
            ++i;
            continue;
        }
        if (!quoted && c == ';') {
            break;
        }
        if (!quoted && c == ',') {
            return std::nullopt;
        }
        if (!out.empty()) {
            out += blanks;
        }
        blanks.clear();
        if (c == '"') {
            quoted = !quoted;
            ++i;
        } else if (c == '\\') {
            i = AppendEscape(raw, i + 1, out);
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

// QSettings marks a text that starts with '@' by doubling it, and writes
// other kinds of values as "@Kind(...)"; only a text is a folder.
std::string TextOfValue(std::string decoded) {
    constexpr std::string_view kByteArray = "@ByteArray(";
    const std::string_view view(decoded);
    if (view.substr(0, 2) == "@@") {
        return decoded.substr(1);
    }
    if (view.substr(0, kByteArray.size()) == kByteArray && view.back() == ')') {
        return decoded.substr(kByteArray.size(), decoded.size() - kByteArray.size() - 1);
    }
    if (view.substr(0, 9) == "@Variant(" || view == "@Invalid()") {
        return "";
    }
    return decoded;
}

// The next logical line from `at`: CR LF or LF ends it, a backslash before
// the end joins the next one.
std::string NextLine(std::string_view ini, std::size_t& at) {
    std::string line;
    while (at <= ini.size()) {
        std::size_t end = ini.find('\n', at);
        if (end == std::string_view::npos) {
            end = ini.size();
        }
        std::string_view piece = ini.substr(at, end - at);
        at = end + 1;
        if (!piece.empty() && piece.back() == '\r') {
            piece.remove_suffix(1);
        }
        std::size_t backslashes = 0;
        while (backslashes < piece.size() && piece[piece.size() - 1 - backslashes] == '\\') {
            ++backslashes;
        }
        if (backslashes % 2 == 0) {
            line += piece;
            break;
        }
        line += piece.substr(0, piece.size() - 1);
    }
    return line;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    if (file) {
        text << file.rdbuf();
    }
    return text.str();
}

}  // namespace

std::string ProgramFolderLookup::PathFromIni(std::string_view ini) {
    if (ini.substr(0, 3) == "\xEF\xBB\xBF") {
        ini.remove_prefix(3);
    }
    bool inMain = false;
    std::string path;  // the last Path of any [Main] wins, as in QSettings
    for (std::size_t at = 0; at <= ini.size();) {
        const std::string line = NextLine(ini, at);
        const std::string_view trimmed = Trim(line, kBlanks);
        if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') {
            continue;
        }
        if (trimmed.front() == '[') {
            const std::size_t close = trimmed.find(']');
            inMain = close != std::string_view::npos &&
                     Trim(trimmed.substr(1, close - 1), kBlanks) == "Main";
            continue;
        }
        const std::size_t eq = trimmed.find('=');
        if (inMain && eq != std::string_view::npos &&
            Trim(trimmed.substr(0, eq), kBlanks) == "Path") {
            const std::optional<std::string> value = DecodeValue(trimmed.substr(eq + 1));
            path = value ? TextOfValue(*value) : std::string();
        }
    }
    return path;
}

std::string ProgramFolderLookup::DefaultSettingsFile() {
    fs::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') {
        std::error_code error;
        base = fs::absolute(xdg, error);
        if (error) {
            return "";
        }
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        base = fs::path(home) / ".config";
    } else {
        return "";
    }
    return (base / "Quillex" / "Quillex.ini").lexically_normal().string();
}

bool ProgramFolderLookup::HoldsProgramFiles(const fs::path& folder) {
    std::error_code error;
    return fs::is_regular_file(folder / EnginesFile::kFileName, error) ||
           fs::is_regular_file(folder / kHelpFileName, error);
}

std::string ProgramFolderLookup::InstalledBeside(const fs::path& executable) {
    const fs::path dir = executable.parent_path();
    for (const fs::path& relative :
         {fs::path("../share/quillex"), fs::path("../../share/quillex")}) {
        const fs::path folder = (dir / relative).lexically_normal();
        if (HoldsProgramFiles(folder)) {
            return folder.string();
        }
    }
    return "";
}

std::string ProgramFolderLookup::Find(const std::string& settingsFile, const fs::path& executable) {
    if (!settingsFile.empty()) {
        std::string path = PathFromIni(ReadWholeFile(settingsFile));
        if (!path.empty()) {
            return path;
        }
    }
    if (executable.empty()) {
        return "";
    }
    std::string installed = InstalledBeside(executable);
    if (!installed.empty()) {
        return installed;
    }
    const fs::path own = executable.parent_path();
    return HoldsProgramFiles(own) ? own.string() : std::string();
}

std::string ProgramFolderLookup::Find() {
    std::error_code error;
    const fs::path self = fs::canonical("/proc/self/exe", error);
    return Find(DefaultSettingsFile(), error ? fs::path() : self);
}

}  // namespace qx
