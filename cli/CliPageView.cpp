#include "cli/CliPageView.h"

#include "search/SearchSession.h"

namespace qx {

CliPageView::CliPageView(CliOutput& output, CliProgress& progress, std::FILE* err)
    : output_(output), progress_(progress), err_(err) {}

void CliPageView::ShowMessage(const std::string& text, MessageKind kind) {
    (void)kind;
    progress_.ClearLine();
    std::fprintf(err_, "%s\n", text.c_str());
    std::fflush(err_);
    if (text == kSearchFinished) {
        finished_ = true;
    }
}

DialogAnswer CliPageView::AskYesNoCancel(const std::string& text) {
    (void)text;
    return DialogAnswer::kYes;
}

void CliPageView::SetStatusText(int pane, const std::string& text) {
    if (pane == 0) {
        // Pane 0's hints are rare and would be lost on the status line.
        progress_.ClearLine();
        std::fprintf(err_, "%s\n", text.c_str());
        std::fflush(err_);
        return;
    }
    progress_.SetPane(pane, text);
}

void CliPageView::RowAppended(SessionList list, std::size_t index) {
    if (!session_ || outputFailed_) {
        return;
    }
    if (list == SessionList::kScan && index < session_->ScanRows().size()) {
        const ScanRow& row = session_->ScanRows()[index];
        outputFailed_ = !output_.WriteScan(row.title, row.url, row.result, row.reason);
    } else if (list == SessionList::kResults && index < session_->MatchRows().size()) {
        const MatchRow& row = session_->MatchRows()[index];
        outputFailed_ = !output_.WriteMatch(row.title, row.url, row.description);
    }
}

}  // namespace qx
