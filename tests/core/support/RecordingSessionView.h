#pragma once

// A search session view for tests: records what the session showed and
// answers questions from a script.

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "search/SearchSessionView.h"

namespace qx::test {

class RecordingSessionView : public SearchSessionView {
public:
    struct Message {
        std::string text;
        MessageKind kind;
    };

    void ShowMessage(const std::string& text, MessageKind kind) override {
        messages.push_back({text, kind});
    }
    DialogAnswer AskYesNoCancel(const std::string& text) override {
        questions.push_back(text);
        if (answers.empty()) {
            return DialogAnswer::kNo;
        }
        DialogAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void SetStatusText(int pane, const std::string& text) override {
        status[pane] = text;
        statusHistory[pane].push_back(text);
    }
    void SetRunningIcon(bool running) override { runningIcon = running; }
    void SetResultCountText(const std::string& text) override { resultCount = text; }
    void ActivatePage(int index) override { activated.push_back(index); }
    void AlertNewMatch(const std::string&, const std::string&,
                       const std::string& description) override {
        alerts.push_back(description);
    }
    void RowAppended(SessionList list, std::size_t) override { ++appended[list]; }
    void RowRemoved(SessionList list, std::size_t) override { ++removed[list]; }
    void RowsReset(SessionList list) override { ++resets[list]; }
    bool FollowsRemovals(SessionList) const override { return followsRemovals; }

    bool Showed(const std::string& text) const {
        for (const Message& m : messages) {
            if (m.text == text) {
                return true;
            }
        }
        return false;
    }

    std::vector<Message> messages;
    std::vector<std::string> questions;
    std::deque<DialogAnswer> answers;
    std::map<int, std::string> status;
    std::map<int, std::vector<std::string>> statusHistory;
    bool runningIcon = false;
    std::string resultCount;
    std::vector<int> activated;
    std::vector<std::string> alerts;  // descriptions of new-match alerts
    std::map<SessionList, int> appended, removed, resets;
    bool followsRemovals = true;
};

}  // namespace qx::test
