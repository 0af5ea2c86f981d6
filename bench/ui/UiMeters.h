#pragma once

// What the user of the window would notice while a benchmark runs: how often
// a widget is repainted, and the longest time the user-interface thread took
// to come back to its timers.
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <functional>

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

// A timer every 10 ms; the longest interval between two of its ticks is how
// long input would have waited at worst.
class StallMeter {
public:
    StallMeter() {
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { longestMs_ = std::max(longestMs_, sinceTick_.restart()); });
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.start(10);
        sinceTick_.start();
    }
    qint64 LongestMs() const { return longestMs_; }

private:
    QTimer timer_;
    QElapsedTimer sinceTick_;
    qint64 longestMs_ = 0;
};

// Switches between two tabs every second and measures how long each switch
// took until the new tab's list was painted: what a user clicking a tab
// waits for.
class TabSwitchMeter : public QObject {
public:
    // `show(true)` shows the tab whose list is `first`, `show(false)` the
    // other's.
    TabSwitchMeter(std::function<void(bool)> show, QWidget* first, QWidget* second)
        : show_(std::move(show)), first_(first), second_(second) {
        first_->installEventFilter(this);
        second_->installEventFilter(this);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Switch(); });
        timer_.start(1000);
    }
    qint64 LongestMs() const { return longestMs_; }
    int Switches() const { return switches_; }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && waiting_ &&
            watched == (toFirst_ ? first_ : second_)) {
            waiting_ = false;
            longestMs_ = std::max(longestMs_, sinceSwitch_.elapsed());
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void Switch() {
        if (waiting_) {  // never painted: count the wait so far
            longestMs_ = std::max(longestMs_, sinceSwitch_.elapsed());
        }
        toFirst_ = !toFirst_;
        waiting_ = true;
        ++switches_;
        sinceSwitch_.start();
        show_(toFirst_);
    }

    std::function<void(bool)> show_;
    QWidget* first_;
    QWidget* second_;
    QTimer timer_;
    QElapsedTimer sinceSwitch_;
    bool toFirst_ = true;  // the first tab is the one shown at the start
    bool waiting_ = false;
    int switches_ = 0;
    qint64 longestMs_ = 0;
};
