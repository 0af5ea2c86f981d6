#pragma once

#include <QFrame>
#include <QString>
#include <QUrl>

class QLabel;
class QVBoxLayout;
class QWebEngineView;

namespace qx {

// The Home tab's browser: a thin wrapper over a Qt WebEngine view that offers
// the five operations the pages use and raises the three events the Home tab
// handles. The engine starts with the first Create() (the first showing or
// navigation of the tab), not with the window. Where the engine cannot run,
// the wrapper says so in one line and Navigate opens the address in the
// default browser instead.
class CWebBrowser2 : public QFrame {
    Q_OBJECT
public:
    explicit CWebBrowser2(QWidget* parent = nullptr);
    ~CWebBrowser2() override;

    // Call before the application object exists: running as root (CI,
    // containers) the engine's sandbox cannot start, so it is switched off;
    // as a normal user it stays on.
    static void PrepareEngine();
    // Whether the engine can run here: built in, its helper program present
    // and not switched off (QX_NO_WEBENGINE=1, or by a test).
    static bool EngineAvailable();
    static void SetEngineDisabled(bool disabled);

    // Starts the engine and puts its view into the frame, or the line that
    // says why there is none; does nothing the second time. Returns whether
    // a view is there.
    bool Create();
    bool HasView() const;
    QWebEngineView* View() const { return view_; }
    // The one-line notice shown instead of the view; empty while there is none.
    QString NoticeText() const;

    void GoBack();
    void GoForward();
    // Opens what the user typed: a bare host name is fixed up to http, as a
    // browser's address box does. Blank text navigates nowhere.
    void Navigate(const QString& text);
    void Refresh();
    void Stop();

    void SetBorder(bool thin);
    bool HasBorder() const { return frameShape() != QFrame::NoFrame; }

signals:
    // Every navigation request, of the main frame and of frames, server
    // redirects included; none is refused.
    void BeforeNavigate2(const QString& url, bool mainFrame);
    // The main frame's navigation has ended (loaded, failed, stopped,
    // replaced by a new one, or its renderer is gone); `url` is where the
    // page now is.
    void NavigateComplete2(const QString& url);
    // What a browser's status bar would show: the link under the mouse, or
    // the load state.
    void StatusTextChange(const QString& text);

private:
    void ConnectView();
    void EndNavigation();
    // One of the page's actions (QWebEnginePage::WebAction) on the view, if any.
    void TriggerPageAction(int action);
    // Drops the view whose engine failed and sends pages to the default browser.
    void GiveUpEngine();
    void ShowNotice(const QString& text);
    void OnLinkHovered(const QString& url);
    void SetLoadStatus(const QString& text);

    QVBoxLayout* layout_;
    QWebEngineView* view_ = nullptr;
    QLabel* notice_ = nullptr;
    QString loadStatus_;
    // A main frame navigation was announced and has not ended yet.
    bool mainPending_ = false;
    bool everLoaded_ = false;
    bool engineFailed_ = false;
    QUrl lastUrl_;
};

}  // namespace qx
