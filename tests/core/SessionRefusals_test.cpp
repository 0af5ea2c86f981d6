#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/support/RecordingSessionView.h"
#include "search/SearchSession.h"

namespace qx {
namespace {

// A view that looks, while each box is up, whether another thread can take
// the rows' lock: the workers of a stopped search may still be reporting.
class LockProbingView : public test::RecordingSessionView {
public:
    ~LockProbingView() override {
        for (std::thread& probe : probes_) {
            probe.join();  // a probe still waiting gets the lock once it is let go
        }
    }
    void ShowMessage(const std::string& text, MessageKind kind) override {
        RecordingSessionView::ShowMessage(text, kind);
        auto taken = std::make_shared<std::promise<void>>();
        std::future<void> done = taken->get_future();
        probes_.emplace_back([this, taken] {
            const auto rows = session->LockRows();
            taken->set_value();
        });
        lockFree.push_back(done.wait_for(std::chrono::seconds(2)) == std::future_status::ready);
    }

    SearchSession* session = nullptr;
    std::vector<bool> lockFree;

private:
    std::vector<std::thread> probes_;
};

TEST(SearchSessionRefusals, BoxesShowWithTheRowsLockFree) {
    LockProbingView view;
    {
        SearchSession session(view);
        view.session = &session;
        SearchControls noItem;
        noItem.search = "  ";
        EXPECT_FALSE(session.Start(noItem));
        SearchControls noRows;
        noRows.search = "word";
        EXPECT_FALSE(session.Start(noRows));
        EXPECT_FALSE(session.Delete(-1));
        EXPECT_FALSE(session.ToLinks(0).has_value());
        session.Shutdown();
    }
    ASSERT_EQ(view.messages.size(), 4u);
    ASSERT_EQ(view.lockFree.size(), 4u);
    for (std::size_t i = 0; i < view.messages.size(); ++i) {
        EXPECT_TRUE(view.lockFree[i]) << view.messages[i].text;
    }
}

}  // namespace
}  // namespace qx
