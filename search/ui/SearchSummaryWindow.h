#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "search/SearchSummary.h"

class QChart;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace qx {

// "Search Summary": a window of its own (not modal) with the figures of the
// current search and a chart of pages per second and the Remaining count
// over the search's time, failures marked. It samples once a second from
// its creation, shown or not, so that the chart covers the whole search
// however late the user opens it.
class SearchSummaryWindow : public QWidget {
public:
    static constexpr int kSampleMs = 1000;
    // Points kept per series; past that every other one is dropped, so a
    // long search keeps its whole span at a coarser step.
    static constexpr int kMaxPoints = 3600;

    // `source` gives the figures now; `running` whether a search runs.
    SearchSummaryWindow(std::function<SearchSummary()> source, std::function<bool()> running,
                        QWidget* parent = nullptr);

    // What "Copy" puts on the clipboard.
    QString CopyText() const;
    // Takes one sample: the figures, and a chart point while a search runs.
    void Sample();
    int PointCount() const;
    int FailureMarks() const;

private:
    void BuildChart();
    void StartOver();
    void AddPoint(const SearchSummary& now);
    void ThinWhenFull();

    std::function<SearchSummary()> source_;
    std::function<bool()> running_;
    SearchSummary last_;
    QLabel* figures_;
    QChart* chart_;
    QLineSeries* rate_;
    QLineSeries* remaining_;
    QScatterSeries* failures_;
    QValueAxis* timeAxis_;
    QValueAxis* rateAxis_;
    QValueAxis* remainingAxis_;
    QTimer timer_;
    double maxRate_ = 1;
    long long maxRemaining_ = 1;
};

}  // namespace qx
