#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

class QSystemTrayIcon;

namespace qx {

// Tells the user about new matches of a watched page through the desktop's
// notification service ("New match: TITLE" with the description). At most
// one notification is shown every ten seconds; matches arriving meanwhile are
// shown together when the time is up, as the first of them "and N more".
// Without a notification service nothing is shown.
class MatchNotifier : public QObject {
    Q_OBJECT
public:
    struct Notice {
        QString summary;
        QString body;
    };
    // Replaces the desktop's service (tests); an empty function restores it.
    using Hook = std::function<void(const Notice&)>;
    static void SetHook(Hook hook);

    static constexpr int kIntervalMs = 10000;

    explicit MatchNotifier(QObject* parent = nullptr);

    void Offer(const QString& title, const QString& url, const QString& description);
    // The shortest time between two notifications (tests shorten it).
    void SetInterval(int ms) { gap_.setInterval(ms); }

private:
    void ShowHeld();
    void Show(const Notice& notice);
    void ShowOnDesktop(const Notice& notice);

    QTimer gap_;
    Notice held_;
    int heldCount_ = 0;
    QSystemTrayIcon* tray_ = nullptr;
    std::optional<bool> bodyMarkup_;  // asked of the service once
};

}  // namespace qx
