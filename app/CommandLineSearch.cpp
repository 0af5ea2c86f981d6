#include "app/CommandLineSearch.h"

#include "app/CMainWindow.h"
#include "links/ui/CToolBarCtrlPage.h"
#include "search/ui/CTabPg2.h"

namespace qx {

namespace {

constexpr QChar kBlank = QLatin1Char(' ');
constexpr QChar kComma = QLatin1Char(',');

void AskTheEngines(CMainWindow& window, const QString& line) {
    CTabPg2* search = window.SearchPage();
    search->searchEdit->setText(line);
    // Visiting the links page first makes sure its list exists.
    window.SetActivePage(CMainWindow::kLinksPage);
    window.SetActivePage(CMainWindow::kSearchPage);
    window.LinksPage()->OnEngines();
    window.LinksPage()->OnSelectAll();
    search->OnSE();
}

void SetSearchOptions(CTabPg2& search) {
    search.maxDepthCheck->setChecked(true);
    search.maxDepthEdit->setText(QString::number(CommandLineSearch::kMaxDepth));
    search.describeCheck->setChecked(true);
    search.describeForwardEdit->setText(QString::number(CommandLineSearch::kDescribeForward));
    search.describeBackwardEdit->setText(QString::number(CommandLineSearch::kDescribeBackward));
}

}  // namespace

QString CommandLineSearch::Normalize(const QString& commandLine) {
    qsizetype first = 0;
    while (first < commandLine.size() && commandLine.at(first).isSpace()) {
        ++first;
    }
    return commandLine.mid(first);
}

CommandLineSearch::Split CommandLineSearch::SplitLine(const QString& line) {
    const qsizetype blank = line.indexOf(kBlank);
    if (blank <= 0) {
        return {line, std::nullopt};
    }
    Split split{line.left(blank), std::nullopt};
    if (blank + 1 < line.size()) {
        QString rest = line.mid(blank + 1);
        split.include = rest.replace(kBlank, kComma);
    }
    return split;
}

void CommandLineSearch::Run(CMainWindow& window, const QString& commandLine) {
    const QString line = Normalize(commandLine);
    if (line.isEmpty()) {
        return;
    }
    AskTheEngines(window, line);
    CTabPg2* search = window.SearchPage();
    const Split split = SplitLine(line);
    search->searchEdit->setText(split.searchItem);
    if (split.include) {
        search->includeEdit->setText(*split.include);
    }
    SetSearchOptions(*search);
    window.OnStart();
    window.SetActivePage(CMainWindow::kResultsPage);
}

}  // namespace qx
