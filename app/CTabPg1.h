#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include "app/CWebBrowser2.h"
#include "ui/CPropertyPage.h"

namespace qx {

// The "Home" tab: the program's own browser with its navigation row. With
// the record box ticked, the first address of every navigation becomes a new
// row of the links list, so browsing by hand collects start URLs.
class CTabPg1 : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr const char* kHomePageUrl = "http://www.quillex.com/";

    explicit CTabPg1(QWidget* parent = nullptr);

    CWebBrowser2* Browser() const { return browser_; }
    // Shows `url` in the browser (in the default browser where the engine
    // cannot run).
    void Navigate(const QString& url);
    QString LastNavigatedUrl() const { return lastUrl_; }

    QLineEdit* UrlBox() const { return urlBox_; }
    QCheckBox* RecordBox() const { return record_; }

    void OnSetActive() override;

    // The navigation row's commands.
    void OnGo();
    void OnBack() { browser_->GoBack(); }
    void OnForward() { browser_->GoForward(); }
    void OnRefresh() { browser_->Refresh(); }
    void OnStop() { browser_->Stop(); }
    void OnHomePage() { Navigate(QString::fromLatin1(kHomePageUrl)); }

    // The browser's events.
    void OnBeforeNavigate2(const QString& url, bool mainFrame);
    void OnNavigateComplete2(const QString& url);
    void OnStatusTextChange(const QString& text);

private:
    QPushButton* AddButton(const QString& text, void (CTabPg1::*handler)());
    void RecordUrl(const QString& url);

    QCheckBox* record_;
    QLineEdit* urlBox_;
    CWebBrowser2* browser_;
    QString lastUrl_;
    int recorded_ = 0;
    int navigated_ = 0;
};

}  // namespace qx
