#include "search/ui/SearchSummaryWindow.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

namespace qx {

namespace {

QString ToQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Keeps every other point, the last one always.
void Thin(QXYSeries* series) {
    const QList<QPointF> points = series->points();
    QList<QPointF> kept;
    for (qsizetype i = 0; i < points.size(); i += 2) {
        kept.append(points[i]);
    }
    if (!points.isEmpty() && kept.last() != points.last()) {
        kept.append(points.last());
    }
    series->replace(kept);
}

}  // namespace

SearchSummaryWindow::SearchSummaryWindow(std::function<SearchSummary()> source,
                                         std::function<bool()> running, QWidget* parent)
    : QWidget(parent, Qt::Window),
      source_(std::move(source)),
      running_(std::move(running)),
      figures_(new QLabel(this)),
      chart_(new QChart()),
      rate_(new QLineSeries()),
      remaining_(new QLineSeries()),
      failures_(new QScatterSeries()),
      timeAxis_(new QValueAxis()),
      rateAxis_(new QValueAxis()),
      remainingAxis_(new QValueAxis()) {
    setWindowTitle(QStringLiteral("Search Summary"));
    setObjectName(QStringLiteral("searchSummary"));
    figures_->setObjectName(QStringLiteral("figures"));
    figures_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    figures_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    figures_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    BuildChart();
    auto* view = new QChartView(chart_, this);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(420, 280);
    auto* copy = new QPushButton(QStringLiteral("Copy"), this);
    copy->setObjectName(QStringLiteral("copy"));
    connect(copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(CopyText()); });
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto* body = new QHBoxLayout();
    body->addWidget(figures_);
    body->addWidget(view, 1);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(copy);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    resize(820, 440);

    connect(&timer_, &QTimer::timeout, this, &SearchSummaryWindow::Sample);
    timer_.start(kSampleMs);
    Sample();
}

void SearchSummaryWindow::BuildChart() {
    chart_->setTitle(QStringLiteral("Pages per second and Remaining"));
    rate_->setName(QStringLiteral("Pages per second"));
    remaining_->setName(QStringLiteral("Remaining"));
    failures_->setName(QStringLiteral("Failures"));
    failures_->setMarkerSize(9);
    failures_->setColor(Qt::red);
    failures_->setBorderColor(Qt::red);
    chart_->addSeries(rate_);
    chart_->addSeries(remaining_);
    chart_->addSeries(failures_);
    timeAxis_->setTitleText(QStringLiteral("s"));
    timeAxis_->setLabelFormat(QStringLiteral("%d"));
    rateAxis_->setTitleText(QStringLiteral("pages/s"));
    rateAxis_->setLabelFormat(QStringLiteral("%d"));
    remainingAxis_->setTitleText(QStringLiteral("Remaining"));
    remainingAxis_->setLabelFormat(QStringLiteral("%d"));
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(rateAxis_, Qt::AlignLeft);
    chart_->addAxis(remainingAxis_, Qt::AlignRight);
    for (QXYSeries* series : {static_cast<QXYSeries*>(rate_), static_cast<QXYSeries*>(failures_)}) {
        series->attachAxis(timeAxis_);
        series->attachAxis(rateAxis_);
    }
    remaining_->attachAxis(timeAxis_);
    remaining_->attachAxis(remainingAxis_);
    timeAxis_->setRange(0, 10);
    rateAxis_->setRange(0, 1);
    remainingAxis_->setRange(0, 1);
}

QString SearchSummaryWindow::CopyText() const {
    return ToQString(SummaryText(last_));
}

int SearchSummaryWindow::PointCount() const {
    return static_cast<int>(rate_->count());
}

int SearchSummaryWindow::FailureMarks() const {
    return static_cast<int>(failures_->count());
}

void SearchSummaryWindow::Sample() {
    const SearchSummary now = source_();
    // A new search restarts the clock.
    if (now.elapsedSeconds < last_.elapsedSeconds || now.pagesFetched < last_.pagesFetched) {
        StartOver();
    }
    if (running_()) {
        AddPoint(now);
    }
    last_ = now;
    figures_->setText(CopyText());
}

void SearchSummaryWindow::StartOver() {
    rate_->clear();
    remaining_->clear();
    failures_->clear();
    last_ = SearchSummary();
    maxRate_ = 1;
    maxRemaining_ = 1;
}

void SearchSummaryWindow::AddPoint(const SearchSummary& now) {
    const double t = now.elapsedSeconds;
    const double span = std::max(1e-3, t - last_.elapsedSeconds);
    const double rate = rate_->count() == 0 && last_.pagesFetched == 0 && last_.elapsedSeconds == 0
                            ? now.PagesPerSecond()
                            : static_cast<double>(now.pagesFetched - last_.pagesFetched) / span;
    rate_->append(t, rate);
    remaining_->append(t, static_cast<double>(now.remaining));
    if (now.pagesFailed > last_.pagesFailed) {
        failures_->append(t, rate);
    }
    ThinWhenFull();
    maxRate_ = std::max(maxRate_, rate);
    maxRemaining_ = std::max(maxRemaining_, now.remaining);
    timeAxis_->setRange(0, std::max(10.0, t));
    rateAxis_->setRange(0, maxRate_ * 1.1);
    remainingAxis_->setRange(0, static_cast<double>(maxRemaining_) * 1.1);
}

void SearchSummaryWindow::ThinWhenFull() {
    if (rate_->count() <= kMaxPoints) {
        return;
    }
    Thin(rate_);
    Thin(remaining_);
    if (failures_->count() > kMaxPoints) {
        Thin(failures_);
    }
}

}  // namespace qx
