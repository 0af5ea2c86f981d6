#pragma once

#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>

#include "app/MessageBox.h"

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

}  // namespace qx::test
