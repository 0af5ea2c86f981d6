#pragma once

// What the user of the window would notice while a benchmark runs: how often
// a widget is repainted, and the longest time the user-interface thread took
// to come back to its timers.
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <algorithm>

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
