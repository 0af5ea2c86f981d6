#pragma once

// A well-behaved web site on 127.0.0.1 for tests: serves declared pages from
// a free port (HTTP, or HTTPS with a certificate) from construction until
// destruction, and counts the requests each path received.
//
//   qx::test::LoopbackSite site({
//       {"/", {"<a href=\"/b\">b</a>"}},                   // text/html, 200
//       {"/b", {"bee", "text/plain"}},
//       {"/err", {"oops", "text/html", 500}},
//       {"/old", qx::test::LoopbackPage::Redirect("/", 301)},
//   });
//   site.Url("/b")        -> "http://127.0.0.1:<port>/b"
//   site.Requests("/b")   -> how many GETs /b received
//
// Paths are matched without the query; an undeclared path answers 404. Text
// bodies may go out compressed when the client accepts that.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "search/CurlHandlePool.h"

namespace qx::test {

struct LoopbackPage {
    LoopbackPage(std::string body = "", std::string contentType = "text/html", int status = 200)
        : body(std::move(body)), contentType(std::move(contentType)), status(status) {}

    static LoopbackPage Redirect(std::string location, int status = 302) {
        LoopbackPage page("", "text/html", status);
        page.location = std::move(location);
        return page;
    }

    std::string body;
    std::string contentType;
    int status;
    std::string location;  // sent as the Location header when not empty
};

class LoopbackSite {
public:
    using Pages = std::map<std::string, LoopbackPage>;
    using PageList = std::initializer_list<Pages::value_type>;

    // Plain HTTP that keeps connections alive, as real servers do: up to 100
    // requests on one connection, an idle one closed after 5 s.
    explicit LoopbackSite(PageList pages = {})
        : pages_(pages), server_(std::make_unique<httplib::Server>()) {
        Start();
    }

    // Plain HTTP that keeps an idle connection open for `idleSeconds` only.
    struct KeepAlive {
        time_t idleSeconds;
    };
    LoopbackSite(PageList pages, KeepAlive keepAlive)
        : pages_(pages), server_(std::make_unique<httplib::Server>()) {
        Start(keepAlive.idleSeconds);
    }

    // Plain HTTP that answers every request with "Connection: close", for a
    // test that needs each request on a connection of its own.
    struct OneRequestPerConnection {};
    LoopbackSite(PageList pages, OneRequestPerConnection)
        : pages_(pages), server_(std::make_unique<httplib::Server>()) {
        Start(kDefaultIdleSeconds, 1);
    }

    // HTTPS with the given PEM certificate and key files.
    LoopbackSite(PageList pages, const std::string& certFile, const std::string& keyFile)
        : pages_(pages),
          server_(std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str())),
          https_(true) {
        if (!server_->is_valid()) {
            throw std::runtime_error("LoopbackSite: cannot load " + certFile);
        }
        Start();
    }

    // The server's end waits for every open connection to close or reach its
    // idle time-out; the fetchers' kept connections are closed first.
    ~LoopbackSite() {
        curl_handles::DropKept();
        server_->stop();
        thread_.join();
    }
    LoopbackSite(const LoopbackSite&) = delete;
    LoopbackSite& operator=(const LoopbackSite&) = delete;

    // Declares or replaces a page; allowed while the site runs.
    void SetPage(const std::string& path, LoopbackPage page) {
        std::lock_guard<std::mutex> lock(mutex_);
        pages_[path] = std::move(page);
    }

    std::uint16_t Port() const { return port_; }
    std::string Scheme() const { return https_ ? "https" : "http"; }
    std::string Url(const std::string& path) const {
        return Scheme() + "://127.0.0.1:" + std::to_string(port_) + path;
    }

    // Requests received for `path`, declared or not.
    int Requests(const std::string& path) const {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = requests_.find(path);
        return it == requests_.end() ? 0 : it->second;
    }

    // A header of the last request for `path` ("" when none came).
    std::string LastHeader(const std::string& path, const std::string& name) const {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = lastHeaders_.find(path);
        if (it == lastHeaders_.end()) {
            return {};
        }
        auto h = it->second.find(name);
        return h == it->second.end() ? std::string() : h->second;
    }

private:
    static constexpr time_t kDefaultIdleSeconds = 5;

    // The server gives each open connection a thread of its pool until the
    // connection closes or idles out: a crawl's kept connections would take
    // the default eight threads and leave new connections waiting.
    static constexpr std::size_t kServerThreads = 128;

    void Start(time_t idleSeconds = kDefaultIdleSeconds, std::size_t requestsPerConnection = 100) {
        server_->new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
        server_->set_keep_alive_timeout(idleSeconds);
        server_->set_keep_alive_max_count(requestsPerConnection);
        server_->Get(
            ".*", [this](const httplib::Request& req, httplib::Response& res) { Serve(req, res); });
        port_ = static_cast<std::uint16_t>(server_->bind_to_any_port("127.0.0.1"));
        if (port_ == 0) {
            throw std::runtime_error("LoopbackSite: cannot listen on 127.0.0.1");
        }
        thread_ = std::thread([this] { server_->listen_after_bind(); });
        // stop() only reaches a server that has started running.
        while (!server_->is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    void Serve(const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++requests_[req.path];
        lastHeaders_[req.path] = req.headers;
        auto it = pages_.find(req.path);
        if (it == pages_.end()) {
            res.status = 404;
            res.set_content("<html><body>Not Found</body></html>", "text/html");
            return;
        }
        const LoopbackPage& page = it->second;
        res.status = page.status;
        if (!page.location.empty()) {
            res.set_header("Location", page.location);
        }
        res.set_content(page.body, page.contentType.c_str());
    }

    mutable std::mutex mutex_;
    Pages pages_;
    std::map<std::string, int> requests_;
    std::map<std::string, httplib::Headers> lastHeaders_;
    std::unique_ptr<httplib::Server> server_;
    bool https_ = false;
    std::uint16_t port_ = 0;
    std::thread thread_;
};

}  // namespace qx::test
