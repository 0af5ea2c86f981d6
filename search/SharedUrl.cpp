#include "search/SharedUrl.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <new>
#include <ostream>
#include <vector>

namespace qx {

// The header of a counted text; its characters and a NUL follow it in the
// same allocation.
struct SharedUrl::Text {
    Text* next = nullptr;  // the next text in the table's bucket
    std::atomic<std::uint32_t> refs{1};
    std::uint32_t size = 0;

    char* Chars() { return reinterpret_cast<char*>(this + 1); }
    std::string_view View() { return {Chars(), size}; }
};

namespace {

using Text = SharedUrl::Text;

std::size_t HashOf(std::string_view text) {
    return std::hash<std::string_view>{}(text);
}

Text* NewText(std::string_view text) {
    void* memory = ::operator new(sizeof(Text) + text.size() + 1);
    Text* made = new (memory) Text;
    made->size = static_cast<std::uint32_t>(text.size());
    std::memcpy(made->Chars(), text.data(), text.size());
    made->Chars()[text.size()] = '\0';
    return made;
}

void DeleteText(Text* text) {
    text->~Text();
    ::operator delete(text);
}

// Every text held, chained in buckets by hash. A text gains holders only
// through Acquire and loses its last one only through ReleaseLast, both under
// the table's lock, so a text found in the table is never one being freed.
class TextTable {
public:
    Text* Acquire(std::string_view text) {
        std::lock_guard lock(mutex_);
        if (buckets_.empty()) {
            buckets_.assign(kInitialBuckets, nullptr);
        }
        Text*& head = buckets_[HashOf(text) & (buckets_.size() - 1)];
        for (Text* at = head; at != nullptr; at = at->next) {
            if (at->View() == text) {
                at->refs.fetch_add(1, std::memory_order_relaxed);
                return at;
            }
        }
        Text* made = NewText(text);
        made->next = head;
        head = made;
        if (++count_ > buckets_.size()) {
            try {
                Rehash(buckets_.size() * 2);
            } catch (const std::bad_alloc&) {
                // longer chains, still correct
            }
        }
        return made;
    }

    void ReleaseLast(Text* text) {
        std::lock_guard lock(mutex_);
        if (text->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) {
            return;  // found again in the table before the lock was ours
        }
        Text** link = &buckets_[HashOf(text->View()) & (buckets_.size() - 1)];
        while (*link != text) {
            link = &(*link)->next;
        }
        *link = text->next;
        --count_;
        DeleteText(text);
    }

    std::size_t Count() {
        std::lock_guard lock(mutex_);
        return count_;
    }

private:
    static constexpr std::size_t kInitialBuckets = 1024;

    void Rehash(std::size_t size) {
        std::vector<Text*> grown(size, nullptr);
        for (Text* head : buckets_) {
            while (head != nullptr) {
                Text* next = head->next;
                Text*& to = grown[HashOf(head->View()) & (size - 1)];
                head->next = to;
                to = head;
                head = next;
            }
        }
        buckets_.swap(grown);
    }

    std::mutex mutex_;
    std::vector<Text*> buckets_;
    std::size_t count_ = 0;
};

// Never destroyed: holders in static objects may outlive any destructor order.
TextTable& Table() {
    static TextTable* table = new TextTable;
    return *table;
}

}  // namespace

SharedUrl::SharedUrl(std::string_view text) {
    if (!text.empty()) {
        text_ = Table().Acquire(text);
    }
}

SharedUrl::SharedUrl(const SharedUrl& other) noexcept : text_(other.text_) {
    if (text_ != nullptr) {
        text_->refs.fetch_add(1, std::memory_order_relaxed);
    }
}

SharedUrl& SharedUrl::operator=(const SharedUrl& other) noexcept {
    if (text_ != other.text_) {
        SharedUrl copy(other);
        *this = std::move(copy);
    }
    return *this;
}

SharedUrl& SharedUrl::operator=(SharedUrl&& other) noexcept {
    if (this != &other) {
        Release();
        text_ = other.text_;
        other.text_ = nullptr;
    }
    return *this;
}

SharedUrl::~SharedUrl() {
    Release();
}

std::string_view SharedUrl::view() const noexcept {
    return text_ == nullptr ? std::string_view() : text_->View();
}

const char* SharedUrl::c_str() const noexcept {
    return text_ == nullptr ? "" : text_->Chars();
}

std::ostream& operator<<(std::ostream& out, const SharedUrl& url) {
    return out << url.view();
}

std::size_t SharedUrl::DistinctTexts() {
    return Table().Count();
}

void SharedUrl::Release() noexcept {
    if (text_ == nullptr) {
        return;
    }
    // Other holders can only copy while they hold, so while more than one
    // holds, one leaving needs no lock; the last one leaves under it.
    std::uint32_t refs = text_->refs.load(std::memory_order_relaxed);
    while (refs > 1) {
        if (text_->refs.compare_exchange_weak(refs, refs - 1, std::memory_order_acq_rel,
                                              std::memory_order_relaxed)) {
            text_ = nullptr;
            return;
        }
    }
    Table().ReleaseLast(text_);
    text_ = nullptr;
}

}  // namespace qx
