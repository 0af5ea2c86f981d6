#include "links/EnginesFile.h"

#include "html/AsciiText.h"
#include "links/LinkFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace qx {

namespace {

// An open engines file, locked exclusively while it is held.
class LockedAppendFile {
public:
    explicit LockedAppendFile(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC)) {
        if (fd_ < 0 && errno == EACCES) {
            // Write permission alone still allows the append; the last byte
            // then cannot be checked.
            fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
            readable_ = false;
        }
        if (fd_ < 0)
            return;
        int rc;
        do {
            rc = ::flock(fd_, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        locked_ = rc == 0;
    }
    ~LockedAppendFile() {
        if (fd_ >= 0)
            ::close(fd_);  // also drops the lock
    }
    LockedAppendFile(const LockedAppendFile&) = delete;
    LockedAppendFile& operator=(const LockedAppendFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    bool IsLocked() const { return locked_; }

    // True when the file is empty or its last byte ends a line.
    bool EndsWithLineEnd() const {
        struct stat info {};
        if (!readable_ || ::fstat(fd_, &info) != 0 || info.st_size == 0)
            return true;
        char last = '\n';
        return ::pread(fd_, &last, 1, info.st_size - 1) != 1 || last == '\n';
    }

    bool WriteAll(std::string_view data) {
        while (!data.empty()) {
            const ssize_t put = ::write(fd_, data.data(), data.size());
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            data.remove_prefix(static_cast<size_t>(put));
        }
        return true;
    }

private:
    int fd_;
    bool readable_ = true;
    bool locked_ = false;
};

bool ContainsIgnoringCase(std::string_view text, std::string_view word) {
    return FindNoCase(text, word) != std::string_view::npos;
}

}  // namespace

std::string EnginesFile::Location(std::string_view programFolder) {
    if (programFolder.empty())
        return std::string(kFileName);
    std::string path(programFolder);
    if (path.back() != '/')
        path += '/';
    path += kFileName;
    return path;
}

std::optional<std::vector<std::string>> EnginesFile::Read(const std::string& path) {
    return LinkFile::ReadLines(path);
}

std::string EnginesFile::QueryWords(std::string_view searchItem) {
    std::string words(searchItem);
    std::replace(words.begin(), words.end(), ' ', '+');
    return words;
}

std::string EnginesFile::QueryUrl(std::string_view engineUrl, std::string_view queryWords) {
    const size_t at = engineUrl.find(kSearchMarker);
    if (at == std::string_view::npos)
        return std::string(engineUrl);
    std::string url(engineUrl.substr(0, at));
    url += queryWords;
    url += engineUrl.substr(at + kSearchMarker.size());
    return url;
}

std::optional<std::string> EnginesFile::TemplateFromLocation(std::string_view location) {
    const size_t at = location.find(kProductWord);
    if (at == std::string_view::npos || ContainsIgnoringCase(location, kProductDomain))
        return std::nullopt;
    // A line break would split the learned line; such a location is no
    // engine's result page anyway.
    if (location.find_first_of("\r\n") != std::string_view::npos)
        return std::nullopt;
    std::string engineTemplate(location.substr(0, at));
    engineTemplate += kSearchMarker;
    engineTemplate += location.substr(at + kProductWord.size());
    return engineTemplate;
}

std::string EnginesFile::LearnedLine(std::string_view engineTemplate) {
    std::string line(LinkFile::Trim(engineTemplate));
    // A blank ends the URL field of a line; inside an address it stands for %20.
    std::string encoded;
    encoded.reserve(line.size());
    for (char c : line) {
        if (c == ' ')
            encoded += "%20";
        else
            encoded += c;
    }
    return encoded + " -1 -1";
}

EnginesFile::LearnResult EnginesFile::Learn(std::string_view location, const std::string& path) {
    const std::optional<std::string> engineTemplate = TemplateFromLocation(location);
    if (!engineTemplate)
        return LearnResult::NothingToLearn;
    LockedAppendFile file(path);
    if (!file.IsOpen())
        return LearnResult::FileNotFound;
    if (!file.IsLocked())
        return LearnResult::WriteFailed;
    std::string record;
    if (!file.EndsWithLineEnd())
        record = "\r\n";
    record += LearnedLine(*engineTemplate);
    record += "\r\n";
    return file.WriteAll(record) ? LearnResult::Added : LearnResult::WriteFailed;
}

std::string_view EnginesFile::MessageFor(LearnResult result) {
    switch (result) {
        case LearnResult::FileNotFound:
            return kMsgFileNotFound;
        case LearnResult::WriteFailed:
            return kMsgWriteFailed;
        case LearnResult::Added:
            return kMsgEngineAdded;
        case LearnResult::NothingToLearn:
            break;
    }
    return {};
}

}  // namespace qx
