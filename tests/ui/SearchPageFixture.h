#pragma once

// A real main window around each test of the search page: fresh user
// settings, a message recorder, and the search ended before the window goes.

#include <QMessageBox>
#include <QPointer>
#include <QtTest>
#include <memory>

#include "UiTestSupport.h"
#include "app/CMainWindow.h"
#include "search/ui/CTabPg2.h"

namespace qx::test {

class SearchPageFixture {
protected:
    void OpenWindow() {
        settings_ = std::make_unique<TemporaryUserSettings>();
        recorder_ = std::make_unique<MessageRecorder>();
        window_ = new CMainWindow;
        page_ = window_->SearchPage();
        ResetSearchSettingsAndCounters();
    }
    void CloseWindow() {
        if (window_ != nullptr) {
            page_->Shutdown();
            delete window_.data();
        }
        recorder_.reset();
        settings_.reset();
    }
    // Stop, answering its question with Yes.
    void StopWithYes() {
        recorder_->answers.push_back(QMessageBox::Yes);
        page_->OnStop();
        QVERIFY(!page_->Session().running());
    }

    std::unique_ptr<TemporaryUserSettings> settings_;
    std::unique_ptr<MessageRecorder> recorder_;
    QPointer<CMainWindow> window_;
    CTabPg2* page_ = nullptr;
};

}  // namespace qx::test
