#include "ui/MatchNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <QVariantMap>

namespace qx {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
// Page texts can be long; a notification shows a few lines at most.
constexpr int kMaxSummary = 120;
constexpr int kMaxBody = 600;

MatchNotifier::Hook& InstalledHook() {
    static MatchNotifier::Hook hook;
    return hook;
}

QString Shortened(QString text, int limit) {
    text.replace(QChar(0), QChar(0x2400));
    if (text.size() > limit) {
        text = text.left(limit - 1) + QChar(0x2026);
    }
    return text;
}

bool NotificationServiceExists() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) {
        return false;
    }
    const QString service = QString::fromLatin1(kService);
    if (bus.interface()->isServiceRegistered(service).value()) {
        return true;
    }
    // A service that the bus starts on the first call.
    const QDBusMessage names = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListActivatableNames"));
    const QDBusMessage reply = bus.call(names, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toStringList().contains(service);
}

// Whether the service reads the body as markup; only then must the page's
// text be escaped, or its '&' and '<' would show as entities.
bool ServiceReadsMarkup() {
    const QDBusMessage ask = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kService),
        QStringLiteral("GetCapabilities"));
    const QDBusMessage reply = QDBusConnection::sessionBus().call(ask, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toStringList().contains(QStringLiteral("body-markup"));
}

}  // namespace

void MatchNotifier::SetHook(Hook hook) {
    InstalledHook() = std::move(hook);
}

MatchNotifier::MatchNotifier(QObject* parent) : QObject(parent) {
    gap_.setSingleShot(true);
    gap_.setInterval(kIntervalMs);
    connect(&gap_, &QTimer::timeout, this, &MatchNotifier::ShowHeld);
}

void MatchNotifier::Offer(const QString& title, const QString& url, const QString& description) {
    const QString name = title.trimmed().isEmpty() ? url : title.trimmed();
    const Notice notice{Shortened(QStringLiteral("New match: ") + name, kMaxSummary),
                        Shortened(description, kMaxBody)};
    if (gap_.isActive()) {
        if (heldCount_++ == 0) {
            held_ = notice;
        }
        return;
    }
    Show(notice);
}

void MatchNotifier::ShowHeld() {
    if (heldCount_ == 0) {
        return;
    }
    Notice notice = held_;
    if (heldCount_ > 1) {
        notice.body += QStringLiteral("\nand %1 more").arg(heldCount_ - 1);
    }
    heldCount_ = 0;
    Show(notice);
}

void MatchNotifier::Show(const Notice& notice) {
    gap_.start();
    if (InstalledHook()) {
        InstalledHook()(notice);
        return;
    }
    ShowOnDesktop(notice);
}

void MatchNotifier::ShowOnDesktop(const Notice& notice) {
    if (NotificationServiceExists()) {
        if (!bodyMarkup_) {
            bodyMarkup_ = ServiceReadsMarkup();
        }
        QDBusMessage call = QDBusMessage::createMethodCall(
            QString::fromLatin1(kService), QString::fromLatin1(kPath),
            QString::fromLatin1(kService), QStringLiteral("Notify"));
        call << QStringLiteral("Quillex") << 0u << QStringLiteral("quillex") << notice.summary
             << (*bodyMarkup_ ? notice.body.toHtmlEscaped() : notice.body) << QStringList()
             << QVariantMap() << -1;
        QDBusConnection::sessionBus().send(call);
        return;
    }
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        if (tray_ == nullptr) {
            tray_ = new QSystemTrayIcon(QGuiApplication::windowIcon(), this);
            tray_->show();
        }
        tray_->showMessage(notice.summary, notice.body);
    }
}

}  // namespace qx
