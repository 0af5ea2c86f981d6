// Connections kept alive between pages, as real servers keep them: a later
// worker fetches over the connection an earlier one left open, and servers
// that close, break or time out such a connection cost no page.

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "core/support/QuickLimits.h"
#include "core/support/RawServer.h"
#include "core/support/SessionCrawlTest.h"
#include "search/CurlHandlePool.h"
#include "search/HttpFetcher.h"

namespace qx {
namespace {

using namespace std::chrono_literals;
using test::RawServer;

// What a keep-alive server does wrong on each of its connections.
enum class Fault {
    kNone,
    kClosesAfterAnswer,      // closes without saying so in the answer
    kResetsInNextRequest,    // resets while the next request arrives
    kGarbageForTheNext,      // answers the next request with garbage
    kClosesWhenIdleBriefly,  // closes a connection idle for `idle`
};

// Serves declared pages with HTTP/1.1 keep-alive answers on raw connections,
// misbehaving as `fault` says, and counts the pages it answered.
class KeptAliveSite {
public:
    KeptAliveSite(std::map<std::string, std::string> pages, Fault fault,
                  std::chrono::milliseconds idle = 5s)
        : pages_(std::move(pages)),
          fault_(fault),
          idle_(idle),
          server_([this](auto& c) { Serve(c); }) {}

    std::uint16_t Port() const { return server_.Port(); }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(Port()) + path;
    }
    int Connections() const { return server_.Connections(); }
    int Answered(const std::string& path) const {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = answered_.find(path);
        return it == answered_.end() ? 0 : it->second;
    }

private:
    void Serve(RawServer::Connection& c) {
        for (int n = 0;; ++n) {
            if (n > 0) {
                const auto wait = fault_ == Fault::kClosesWhenIdleBriefly ? idle_ : 10s;
                if (!c.WaitForInput(wait)) {
                    return;  // idle too long: closed, as servers do
                }
                if (fault_ == Fault::kResetsInNextRequest) {
                    c.ReadSome();
                    c.Reset();
                    return;
                }
            }
            const std::string request = c.ReadRequest();
            if (request.empty()) {
                return;
            }
            if (n > 0 && fault_ == Fault::kGarbageForTheNext) {
                c.Send("GARBAGE\r\n\r\n");
                return;
            }
            if (!c.Send(Answer(PathOf(request)))) {
                return;
            }
            if (fault_ == Fault::kClosesAfterAnswer) {
                return;
            }
        }
    }

    static std::string PathOf(const std::string& request) {
        const std::size_t from = request.find(' ') + 1;
        return request.substr(from, request.find(' ', from) - from);
    }

    std::string Answer(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = pages_.find(path);
        if (it == pages_.end()) {
            return "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        }
        ++answered_[path];
        return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
               std::to_string(it->second.size()) + "\r\n\r\n" + it->second;
    }

    std::map<std::string, std::string> pages_;
    Fault fault_;
    std::chrono::milliseconds idle_;
    mutable std::mutex mutex_;
    std::map<std::string, int> answered_;
    RawServer server_;  // last: its handlers use the members above
};

struct FaultCase {
    const char* name;
    Fault fault;
    int connections;  // for three pages one after the other
};

// Names the case in test names and failure messages.
void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

const FaultCase kFaultCases[] = {
    {"well behaved: one connection for all", Fault::kNone, 1},
    {"closes after each answer", Fault::kClosesAfterAnswer, 3},
    {"resets in the middle of the next request", Fault::kResetsInNextRequest, 3},
    {"garbage for the next request", Fault::kGarbageForTheNext, 3},
};

// One worker's fetch: a fetcher of its own, as each worker has.
int FetchAsAWorker(const KeptAliveSite& site, const std::string& path, std::string& body) {
    HttpFetcher fetcher(test::QuickLimits());
    if (fetcher.OpenSession() != 1) {
        return -1;
    }
    const int status = fetcher.FetchPage("http", "127.0.0.1", site.Port(), path);
    body = fetcher.Body();
    return status;
}

class KeptConnectionsTest : public testing::Test {
protected:
    static void SetUpTestSuite() { HttpFetcher::GlobalInit(); }
    // No connection kept by an earlier test goes to this test's server.
    void SetUp() override { curl_handles::DropKept(); }
};

TEST_F(KeptConnectionsTest, WorkersOneAfterAnotherEachGetTheirPage) {
    for (const FaultCase& c : kFaultCases) {
        SCOPED_TRACE(c.name);
        KeptAliveSite site({{"/a", "page a"}, {"/b", "page bb"}, {"/c", "page ccc"}}, c.fault);
        for (const auto& [path, expected] :
             {std::pair{"/a", "page a"}, {"/b", "page bb"}, {"/c", "page ccc"}}) {
            std::string body;
            EXPECT_EQ(FetchAsAWorker(site, path, body), 200) << path;
            EXPECT_EQ(body, expected);
            EXPECT_EQ(site.Answered(path), 1) << path;
        }
        EXPECT_EQ(site.Connections(), c.connections);
        curl_handles::DropKept();
    }
}

TEST_F(KeptConnectionsTest, AConnectionTheServerClosedWhileIdleCostsNoPage) {
    // Workers come every 2 s to a server that closes connections idle for 1 s.
    KeptAliveSite site({{"/a", "page a"}, {"/b", "page b"}}, Fault::kClosesWhenIdleBriefly, 1s);
    std::string body;
    EXPECT_EQ(FetchAsAWorker(site, "/a", body), 200);
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(FetchAsAWorker(site, "/b", body), 200);
    EXPECT_EQ(body, "page b");
    EXPECT_EQ(site.Connections(), 2);
    EXPECT_EQ(site.Answered("/b"), 1);
}

TEST_F(KeptConnectionsTest, ConcurrentWorkersEachReadTheirOwnPage) {
    // Many workers at once on one server, each handle taking connections
    // that others left open: every worker must read the answer to its own
    // request, and the connections be reused.
    constexpr int kPages = 24;
    constexpr int kWorkers = 8;
    constexpr int kFetchesEach = 30;
    std::map<std::string, std::string> pages;
    for (int i = 0; i < kPages; ++i) {
        // Lengths differ, so that a body read past its end shows.
        pages["/p" + std::to_string(i)] = "page " + std::string(i * 97, 'a' + i % 26);
    }
    KeptAliveSite site(pages, Fault::kNone);
    std::atomic<int> wrong{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int k = 0; k < kFetchesEach; ++k) {
                const std::string path = "/p" + std::to_string((w * 7 + k * 5) % kPages);
                std::string body;
                const bool right = FetchAsAWorker(site, path, body) == 200 && body == pages[path];
                wrong += right ? 0 : 1;
            }
        });
    }
    for (std::thread& t : workers) {
        t.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_LT(site.Connections(), kWorkers * kFetchesEach / 4);
}

class KeptConnectionsCrawlTest : public test::SessionCrawlTest,
                                 public testing::WithParamInterface<FaultCase> {};

TEST_P(KeptConnectionsCrawlTest, EveryPageEndsInOneRow) {
    std::map<std::string, std::string> pages{{"/", ""}};
    for (int i = 1; i <= 9; ++i) {
        const std::string path = "/p" + std::to_string(i);
        pages["/"] += "<a href=\"" + path + "\">" + path + "</a> ";
        pages[path] = "<p>page " + std::to_string(i) + " without the item</p>";
    }
    curl_handles::DropKept();
    KeptAliveSite site(pages, GetParam().fault);
    AddStart(site.Url("/"));
    SearchControls controls = Controls();
    controls.maxConnections = "3";
    ASSERT_TRUE(session->Start(controls));
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(ScanRowsSaying("NO MATCH"), static_cast<int>(pages.size()));
    EXPECT_EQ(session->ScanRows().size(), pages.size());
    for (const auto& page : pages) {
        EXPECT_EQ(site.Answered(page.first), 1) << page.first;
    }
    EXPECT_EQ(session->Remaining().Size(), 0u);
    EXPECT_EQ(view.status[2], "Remaining: 0");
    session.reset();
    curl_handles::DropKept();
}

INSTANTIATE_TEST_SUITE_P(Faults, KeptConnectionsCrawlTest, testing::ValuesIn(kFaultCases),
                         [](const testing::TestParamInfo<FaultCase>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c != '\0'; ++c) {
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             }
                             return name;
                         });

}  // namespace
}  // namespace qx
