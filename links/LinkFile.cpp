#include "links/LinkFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qx {

namespace {

constexpr char kBlank = ' ';

// Closes a descriptor when the reader leaves, whatever the way out.
class FdCloser {
public:
    explicit FdCloser(int fd) : fd_(fd) {}
    ~FdCloser() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;

private:
    int fd_;
};

}  // namespace

bool LinkFile::IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view LinkFile::Trim(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsSpace(text[begin]))
        ++begin;
    while (end > begin && IsSpace(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

LinkLine LinkFile::ParseLine(std::string& line) {
    line = std::string(Trim(line));
    LinkLine row;
    const size_t first = line.find(kBlank);
    if (first == std::string::npos) {
        row.url = line;
        return row;
    }
    row.url = Trim(std::string_view(line).substr(0, first));
    const size_t second = line.find(kBlank, first + 1);
    if (second == std::string::npos) {
        row.depth = line.substr(first + 1);
        return row;
    }
    row.depth = Trim(std::string_view(line).substr(first + 1, second - first - 1));
    row.width = line.substr(second + 1);
    return row;
}

std::string LinkFile::FormatLine(const LinkLine& row) {
    if (row.url.empty())
        return {};
    std::string line = row.url;
    line += kBlank;
    line += row.depth.empty() ? "-1" : row.depth;
    line += kBlank;
    line += row.width.empty() ? "-1" : row.width;
    // A line break typed or pasted into a cell would split the row into two
    // lines of the file; it is stored as the blank it stands for.
    for (char& c : line) {
        if (c == '\n')
            c = kBlank;
    }
    return std::string(Trim(line));
}

std::string LinkFile::Serialize(const std::vector<LinkLine>& rows) {
    std::string content;
    for (const LinkLine& row : rows) {
        const std::string line = FormatLine(row);
        if (row.url.empty())
            continue;
        content += line;
        content += "\r\n";
    }
    return content;
}

std::vector<std::string> LinkFile::SplitLines(std::string_view content) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        const bool hasEnd = end != std::string_view::npos;
        if (!hasEnd)
            end = content.size();
        size_t textEnd = end;
        if (hasEnd && textEnd > start && content[textEnd - 1] == '\r')
            --textEnd;
        lines.emplace_back(content.substr(start, textEnd - start));
        start = hasEnd ? end + 1 : end;
    }
    return lines;
}

std::optional<std::string> LinkFile::ReadContent(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    FdCloser closer(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode))
        return std::nullopt;
    std::string content;
    if (S_ISREG(info.st_mode) && info.st_size > 0)
        content.reserve(static_cast<size_t>(info.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        content.append(buffer, static_cast<size_t>(got));
    }
    return content;
}

std::optional<std::vector<std::string>> LinkFile::ReadLines(const std::string& path) {
    std::optional<std::string> content = ReadContent(path);
    if (!content)
        return std::nullopt;
    return SplitLines(*content);
}

}  // namespace qx
