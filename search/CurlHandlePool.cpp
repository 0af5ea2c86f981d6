#include "search/CurlHandlePool.h"

#include "search/HttpFetcher.h"

#include <iterator>
#include <mutex>
#include <vector>

namespace qx::curl_handles {

namespace {

class HandlePool {
public:
    static HandlePool& Instance() {
        // Never freed, like the share its handles are attached to: workers
        // of an abandoned search may still give handles back at exit.
        static HandlePool* const pool = new HandlePool;
        return *pool;
    }

    CURL* Take() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!handles_.empty()) {
                // The last one given back: its connection is the most recent.
                CURL* h = handles_.back();
                handles_.pop_back();
                return h;
            }
        }
        return curl_easy_init();
    }

    void Give(CURL* h) {
        curl_easy_reset(h);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (handles_.size() < kKept) {
                handles_.push_back(h);
                return;
            }
        }
        curl_easy_cleanup(h);  // closes its connection too
    }

    void DropAll() {
        std::vector<CURL*> dropped;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            dropped.swap(handles_);
        }
        for (CURL* h : dropped) {
            curl_easy_cleanup(h);
        }
    }

private:
    // Enough for the workers one engine round ends and starts; an idle
    // handle holds a few tens of KiB and at most one open connection.
    static constexpr std::size_t kKept = 256;

    std::mutex mutex_;
    std::vector<CURL*> handles_;
};

class Share {
public:
    static Share& Instance() {
        static Share* const share = new Share;  // never freed, see HandlePool
        return *share;
    }

    CURLSH* Get() const { return share_; }

private:
    Share() {
        share_ = curl_share_init();
        if (share_ == nullptr) {
            return;
        }
        curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
        curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &Share::Lock);
        curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &Share::Unlock);
        // Not CURL_LOCK_DATA_CONNECT: see the header.
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    }

    static std::mutex& LockOf(curl_lock_data data, void* user) {
        auto* self = static_cast<Share*>(user);
        const auto slot = static_cast<std::size_t>(data);
        return self->locks_[slot < std::size(self->locks_) ? slot : 0];
    }
    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* user) {
        LockOf(data, user).lock();
    }
    static void Unlock(CURL*, curl_lock_data data, void* user) { LockOf(data, user).unlock(); }

    CURLSH* share_ = nullptr;
    std::mutex locks_[CURL_LOCK_DATA_LAST];
};

}  // namespace

CURL* Take() {
    return HandlePool::Instance().Take();
}

void Give(CURL* handle) {
    if (handle != nullptr) {
        HandlePool::Instance().Give(handle);
    }
}

void DropKept() {
    HandlePool::Instance().DropAll();
}

CURLSH* WorkerShare() {
    return Share::Instance().Get();
}

}  // namespace qx::curl_handles

namespace qx {

// Here with the handles whose library it sets up, before any of them exists.
void HttpFetcher::GlobalInit() {
    static const CURLcode rc = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)rc;
}

}  // namespace qx
