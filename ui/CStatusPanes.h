#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QStatusBar>
#include <QString>
#include <QTimer>
#include <optional>
#include <vector>

namespace qx {

// The main window's status bar: pane 0 stretches and shows prompts, the
// others keep the widths that their first texts give them.
//
// A crawl changes the counters for every queued link, hundreds of thousands
// of times, and each label change costs a layout and a repaint. A text shows
// at once unless another was shown less than kRefreshMs ago; then it shows
// with the next refresh, and only the latest text of a pane is shown.
class CStatusPanes : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 50;

    CStatusPanes(const QStringList& initialTexts, QWidget* parent = nullptr);

    void SetPaneText(int index, const QString& text);
    // The pane's latest text, shown or about to be.
    QString PaneText(int index) const;
    // What the pane's label shows now.
    QString ShownPaneText(int index) const;
    int PaneCount() const { return static_cast<int>(panes_.size()); }

private:
    void ShowPending();

    std::vector<QLabel*> panes_;
    std::vector<std::optional<QString>> pending_;
    QElapsedTimer sinceShown_;
    QTimer refresh_;
};

}  // namespace qx
