#pragma once

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <deque>

#include "search/SearchSettings.h"
#include "ui/MessageBox.h"

namespace qx::test {

// Replaces the message box while alive: records every text and answers with
// the queued answers (Ok, or No for questions, when the queue is empty).
class MessageRecorder {
public:
    MessageRecorder() {
        SetQxMessageBoxHook([this](const QxMessage& message) {
            messages.push_back(message);
            texts.append(message.text);
            if (!answers.empty()) {
                const int answer = answers.front();
                answers.pop_front();
                return answer;
            }
            return static_cast<int>(message.buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok
                                                                              : QMessageBox::No);
        });
    }
    ~MessageRecorder() { SetQxMessageBoxHook({}); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void Clear() {
        texts.clear();
        messages.clear();
    }

    QStringList texts;
    std::vector<QxMessage> messages;
    std::deque<int> answers;
};

// Points the per-user configuration file into a temporary folder while alive.
class TemporaryUserSettings {
public:
    TemporaryUserSettings() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
    }
    QString Folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

// True when the tests run on an X server under a window manager
// (tests/ui/with_window_manager.sh), where stacking and focus are real.
// The search settings and counters are process-wide, as in the program,
// which has one search page per run: a test starts them afresh, since the
// workers of an earlier test's closed page never report back.
inline void ResetSearchSettingsAndCounters() {
    Settings() = SearchSettings{};
    Counters().ActiveWorkers = 0;
    Counters().ScannedCount = 0;
    Counters().MatchCount = 0;
    Counters().RemainingCount = 0;
}

inline bool UnderWindowManager() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// A property of the root window or of a window, as xprop prints it.
inline QString XProperty(const QString& property, WId window = 0) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                window == 0
                    ? QStringList{QStringLiteral("-root"), property}
                    : QStringList{QStringLiteral("-id"), QString::number(window), property});
    xprop.waitForFinished(5000);
    return QString::fromLatin1(xprop.readAllStandardOutput());
}

// True when the window manager stacks `upper` above `lower`.
inline bool StackedAbove(const QWidget* upper, const QWidget* lower) {
    QList<WId> order;  // the lowest first
    static const QRegularExpression id(QStringLiteral("0x[0-9a-f]+"));
    for (const auto& match : id.globalMatch(XProperty(QStringLiteral("_NET_CLIENT_LIST_STACKING"))))
        order.append(match.captured().toULongLong(nullptr, 16));
    return order.contains(lower->winId()) &&
           order.indexOf(upper->winId()) > order.indexOf(lower->winId());
}

}  // namespace qx::test
