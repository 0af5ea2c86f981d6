#pragma once

#include <QLabel>
#include <QStatusBar>
#include <QString>
#include <vector>

namespace qx {

// The main window's status bar: pane 0 stretches and shows prompts, the
// others keep the widths that their first texts give them.
class CStatusPanes : public QStatusBar {
    Q_OBJECT
public:
    CStatusPanes(const QStringList& initialTexts, QWidget* parent = nullptr);

    void SetPaneText(int index, const QString& text);
    QString PaneText(int index) const;
    int PaneCount() const { return static_cast<int>(panes_.size()); }

private:
    std::vector<QLabel*> panes_;
};

}  // namespace qx
