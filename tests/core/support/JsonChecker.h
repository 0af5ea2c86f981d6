#pragma once

#include <cctype>
#include <cstring>
#include <string>

namespace qx::test {

// Strict check of one JSON value (RFC 8259), enough to tell a valid line.
class JsonChecker {
public:
    explicit JsonChecker(const std::string& text) : s_(text) {}
    bool Valid() {
        Space();
        if (!Value()) {
            return false;
        }
        Space();
        return i_ == s_.size() && ValidUtf8();
    }

private:
    bool Value() {
        if (i_ >= s_.size()) {
            return false;
        }
        char c = s_[i_];
        if (c == '{') {
            return Object();
        }
        if (c == '"') {
            return String();
        }
        return Literal();
    }
    bool Object() {
        ++i_;
        Space();
        if (Peek('}')) {
            return true;
        }
        do {
            Space();
            if (!String()) {
                return false;
            }
            Space();
            if (!Peek(':')) {
                return false;
            }
            Space();
            if (!Value()) {
                return false;
            }
            Space();
        } while (Peek(','));
        return Peek('}');
    }
    bool String() {
        if (!Peek('"')) {
            return false;
        }
        while (i_ < s_.size()) {
            unsigned char c = static_cast<unsigned char>(s_[i_++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20) {
                return false;
            }
            if (c == '\\') {
                if (i_ >= s_.size()) {
                    return false;
                }
                char e = s_[i_++];
                if (e == 'u') {
                    for (int k = 0; k < 4; ++k) {
                        if (i_ >= s_.size() ||
                            !std::isxdigit(static_cast<unsigned char>(s_[i_++]))) {
                            return false;
                        }
                    }
                } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
                    return false;
                }
            }
        }
        return false;
    }
    bool Literal() {
        for (const char* word : {"true", "false", "null"}) {
            if (s_.compare(i_, std::strlen(word), word) == 0) {
                i_ += std::strlen(word);
                return true;
            }
        }
        std::size_t start = i_;
        while (i_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[i_])) ||
                                  s_[i_] == '-' || s_[i_] == '.')) {
            ++i_;
        }
        return i_ > start;
    }
    bool ValidUtf8() const {
        for (std::size_t k = 0; k < s_.size();) {
            unsigned char c = static_cast<unsigned char>(s_[k]);
            std::size_t n = c < 0x80         ? 1
                            : (c >> 5) == 6  ? 2
                            : (c >> 4) == 14 ? 3
                            : (c >> 3) == 30 ? 4
                                             : 0;
            if (n == 0 || (n > 1 && c < 0xC2) || k + n > s_.size()) {
                return false;
            }
            for (std::size_t m = 1; m < n; ++m) {
                if ((static_cast<unsigned char>(s_[k + m]) & 0xC0) != 0x80) {
                    return false;
                }
            }
            k += n;
        }
        return true;
    }
    void Space() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) {
            ++i_;
        }
    }
    bool Peek(char c) {
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    const std::string& s_;
    std::size_t i_ = 0;
};

}  // namespace qx::test
