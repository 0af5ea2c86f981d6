#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

namespace qx {

// An immutable URL text shared by every holder of the same text. A large
// crawl queues hundreds of thousands of links, most of them repeats of a few
// thousand URLs (menus and footers link every page to the same places), so
// each queue entry holds a pointer to one counted copy of its text instead of
// a string of its own.
//
// All texts are kept in one process-wide table; a text leaves it with its
// last holder. Holders may be copied, moved and destroyed on any thread.
class SharedUrl {
public:
    SharedUrl() noexcept = default;
    SharedUrl(std::string_view text);  // NOLINT: a URL converts implicitly, as a string did
    SharedUrl(const std::string& text) : SharedUrl(std::string_view(text)) {}
    SharedUrl(const char* text) : SharedUrl(std::string_view(text)) {}
    SharedUrl(const SharedUrl& other) noexcept;
    SharedUrl(SharedUrl&& other) noexcept : text_(other.text_) { other.text_ = nullptr; }
    SharedUrl& operator=(const SharedUrl& other) noexcept;
    SharedUrl& operator=(SharedUrl&& other) noexcept;
    ~SharedUrl();

    std::string_view view() const noexcept;
    operator std::string_view() const noexcept { return view(); }
    std::string str() const { return std::string(view()); }
    const char* c_str() const noexcept;
    std::size_t size() const noexcept { return view().size(); }
    bool empty() const noexcept { return text_ == nullptr; }

    // Whether both hold the one copy of their text.
    bool SharesTextWith(const SharedUrl& other) const noexcept { return text_ == other.text_; }
    // How many distinct texts the process holds now.
    static std::size_t DistinctTexts();

    friend bool operator==(const SharedUrl& a, std::string_view b) noexcept {
        return a.view() == b;
    }
    friend std::ostream& operator<<(std::ostream& out, const SharedUrl& url);

    struct Text;  // the counted text, defined where the table lives

private:
    void Release() noexcept;

    Text* text_ = nullptr;  // null for the empty text
};

}  // namespace qx
