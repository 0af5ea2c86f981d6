#include "app/CWebBrowser2.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QUrl>
#include <QVBoxLayout>
#include <functional>

#ifdef QX_HAVE_WEBENGINE
#include <QWebEnginePage>
#include <QWebEngineView>
#endif

namespace qx {

namespace {

bool engineDisabled = false;

// Longer texts are cut in the notice and status lines, so a 100 KB address
// cannot stretch the window.
constexpr int kShownAddressChars = 200;

QString ShortAddress(const QString& text) {
    return text.size() <= kShownAddressChars ? text : text.left(kShownAddressChars) + u'…';
}

#ifdef QX_HAVE_WEBENGINE
QString HelperProgram() {
    const QString configured = qEnvironmentVariable("QTWEBENGINEPROCESS_PATH");
    if (!configured.isEmpty()) {
        return configured;
    }
    const QString name = QStringLiteral("QtWebEngineProcess");
    const QString besideUs = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    if (QFileInfo(besideUs).isExecutable()) {
        return besideUs;
    }
    return QDir(QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath)).filePath(name);
}
#endif

// Why the engine cannot run here; empty when it can.
QString EngineMissingReason() {
#ifndef QX_HAVE_WEBENGINE
    return QStringLiteral("this build has no Qt WebEngine");
#else
    if (engineDisabled || qEnvironmentVariable("QX_NO_WEBENGINE") == QLatin1String("1")) {
        return QStringLiteral("it is switched off");
    }
    // Without its helper program the engine would end the whole program.
    if (!QFileInfo(HelperProgram()).isExecutable()) {
        return QStringLiteral("QtWebEngineProcess is missing");
    }
    return {};
#endif
}

#ifdef QX_HAVE_WEBENGINE
// Hands every navigation request to the wrapper before letting it through.
// The flag says whether the request starts a navigation of its own: a main
// frame request that is not a redirect (server redirects, meta refresh and
// script redirects are part of the navigation they come from).
class AnnouncingPage : public QWebEnginePage {
public:
    using Announce = std::function<void(const QUrl&, bool mainFrame, bool startsNavigation)>;
    AnnouncingPage(Announce announce, QObject* parent)
        : QWebEnginePage(parent), announce_(std::move(announce)) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        announce_(url, isMainFrame, isMainFrame && type != NavigationTypeRedirect);
        return true;
    }
    // There is one browser: links meant for a new window open in it.
    QWebEnginePage* createWindow(WebWindowType) override { return this; }

private:
    Announce announce_;
};
#endif

}  // namespace

CWebBrowser2::CWebBrowser2(QWidget* parent) : QFrame(parent), layout_(new QVBoxLayout(this)) {
    layout_->setContentsMargins(0, 0, 0, 0);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    SetBorder(true);
}

CWebBrowser2::~CWebBrowser2() = default;

void CWebBrowser2::PrepareEngine() {
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
}

bool CWebBrowser2::EngineAvailable() {
    return EngineMissingReason().isEmpty();
}

void CWebBrowser2::SetEngineDisabled(bool disabled) {
    engineDisabled = disabled;
}

bool CWebBrowser2::HasView() const {
    return view_ != nullptr;
}

QString CWebBrowser2::NoticeText() const {
    return notice_ != nullptr ? notice_->text() : QString();
}

void CWebBrowser2::ShowNotice(const QString& text) {
    if (notice_ == nullptr) {
        notice_ = new QLabel(this);
        notice_->setAlignment(Qt::AlignCenter);
        notice_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout_->addWidget(notice_);
    }
    notice_->setText(text);
}

bool CWebBrowser2::Create() {
    if (view_ != nullptr) {
        return true;
    }
    const QString missing =
        engineFailed_ ? QStringLiteral("its helper process failed") : EngineMissingReason();
    if (!missing.isEmpty()) {
        ShowNotice(QStringLiteral("The built-in browser is not available (%1); Browse opens "
                                  "pages in the default browser.")
                       .arg(missing));
        return false;
    }
#ifdef QX_HAVE_WEBENGINE
    PrepareEngine();  // for hosts that did not call it before the application object
    view_ = new QWebEngineView(this);
    view_->setPage(new AnnouncingPage(
        [this](const QUrl& url, bool mainFrame, bool startsNavigation) {
            // The engine ends a navigation that a new one replaces without
            // a word; it has ended all the same.
            if (startsNavigation && mainPending_) {
                EndNavigation();
            }
            mainPending_ = mainPending_ || mainFrame;
            emit BeforeNavigate2(url.toString(QUrl::FullyEncoded), mainFrame);
        },
        view_));
    ConnectView();
    layout_->addWidget(view_);
    return true;
#else
    return false;
#endif
}

// How the engine's signals stand for the browser's three events:
// - BeforeNavigate2: QWebEnginePage::acceptNavigationRequest, called for every
//   request of the main frame and of frames, redirects included (see
//   AnnouncingPage); every one is let through.
// - NavigateComplete2: loadFinished (the main frame's load has ended, loaded
//   or not), renderProcessTerminated, and a new main frame request that
//   replaces one still loading, which the engine ends without a signal.
// - StatusTextChange: linkHovered (the link under the mouse), loadStarted,
//   loadProgress and loadFinished ("Loading…", "Loading… N%", "Done").
void CWebBrowser2::ConnectView() {
#ifdef QX_HAVE_WEBENGINE
    QWebEnginePage* page = view_->page();
    // The main frame's load has ended, however it ended.
    connect(page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        everLoaded_ = everLoaded_ || ok;
        SetLoadStatus(QStringLiteral("Done"));
        EndNavigation();
    });
    // A crashed or killed renderer ends its navigation too; the engine starts
    // a new renderer with the next one.
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status) {
                // A renderer that fails (not one that a page crashed or
                // someone killed) before any page has ever loaded means the
                // engine cannot run here; a failed launch reports a status
                // of its own, outside the named ones.
                const bool failed = status != QWebEnginePage::CrashedTerminationStatus &&
                                    status != QWebEnginePage::KilledTerminationStatus;
                if (!everLoaded_ && failed) {
                    GiveUpEngine();
                    return;
                }
                SetLoadStatus(QStringLiteral("The page has stopped; navigate to go on"));
                EndNavigation();
            });
    connect(page, &QWebEnginePage::loadStarted, this,
            [this] { SetLoadStatus(QStringLiteral("Loading…")); });
    connect(page, &QWebEnginePage::loadProgress, this, [this](int percent) {
        if (percent > 0 && percent < 100) {
            SetLoadStatus(QStringLiteral("Loading… %1%").arg(percent));
        }
    });
    connect(page, &QWebEnginePage::linkHovered, this, &CWebBrowser2::OnLinkHovered);
#endif
}

void CWebBrowser2::GiveUpEngine() {
#ifdef QX_HAVE_WEBENGINE
    EndNavigation();
    engineFailed_ = true;
    view_->hide();
    view_->deleteLater();
    view_ = nullptr;
    Create();  // shows why there is no browser
    emit StatusTextChange(QStringLiteral("The built-in browser failed to start"));
    // The page asked for is not lost: the default browser shows it.
    if (lastUrl_.isValid()) {
        QDesktopServices::openUrl(lastUrl_);
    }
#endif
}

void CWebBrowser2::EndNavigation() {
#ifdef QX_HAVE_WEBENGINE
    mainPending_ = false;
    emit NavigateComplete2(view_->url().toString(QUrl::FullyEncoded));
#endif
}

void CWebBrowser2::SetLoadStatus(const QString& text) {
    loadStatus_ = text;
    emit StatusTextChange(text);
}

void CWebBrowser2::OnLinkHovered(const QString& url) {
    // Leaving a link shows the load state again rather than an empty pane.
    emit StatusTextChange(url.isEmpty() ? loadStatus_ : ShortAddress(url));
}

void CWebBrowser2::Navigate(const QString& text) {
    if (text.trimmed().isEmpty()) {
        return;
    }
    const QUrl url = QUrl::fromUserInput(text);
    if (!url.isValid()) {
        emit StatusTextChange(QStringLiteral("Cannot open %1").arg(ShortAddress(text)));
        return;
    }
    lastUrl_ = url;
    if (!Create()) {
        QDesktopServices::openUrl(url);
        return;
    }
#ifdef QX_HAVE_WEBENGINE
    view_->load(url);
#endif
}

#ifdef QX_HAVE_WEBENGINE
void CWebBrowser2::TriggerPageAction(int action) {
    if (view_ != nullptr) {
        view_->triggerPageAction(static_cast<QWebEnginePage::WebAction>(action));
    }
}

void CWebBrowser2::GoBack() {
    TriggerPageAction(QWebEnginePage::Back);
}

void CWebBrowser2::GoForward() {
    TriggerPageAction(QWebEnginePage::Forward);
}

void CWebBrowser2::Refresh() {
    TriggerPageAction(QWebEnginePage::Reload);
}

void CWebBrowser2::Stop() {
    TriggerPageAction(QWebEnginePage::Stop);
}
#else
// Without the engine there is no page to act on.
void CWebBrowser2::TriggerPageAction(int) {}
void CWebBrowser2::GoBack() {}
void CWebBrowser2::GoForward() {}
void CWebBrowser2::Refresh() {}
void CWebBrowser2::Stop() {}
#endif

void CWebBrowser2::SetBorder(bool thin) {
    setFrameStyle(thin ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
}

}  // namespace qx
