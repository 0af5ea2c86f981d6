#pragma once

#include <QString>
#include <optional>

namespace qx {

class CMainWindow;

// Turns the words of the program's command line into a search that starts by
// itself: the engines of the engines file are asked for all the words, the
// first word becomes the search item and the others the include words.
class CommandLineSearch {
public:
    // What the line gives the search page once the engines have been asked.
    struct Split {
        QString searchItem;
        // Absent when nothing follows the first blank: the box keeps its text.
        std::optional<QString> include;
    };

    static constexpr int kMaxDepth = 0;
    static constexpr int kDescribeForward = 10;
    static constexpr int kDescribeBackward = 2;

    // The platform hands the line over without its leading blanks.
    static QString Normalize(const QString& commandLine);

    // The first word and the rest, every blank of the rest a comma (two
    // blanks in a row give two commas, so no word is lost or merged).
    static Split SplitLine(const QString& line);

    // Runs the whole command-line search on the window's pages.
    static void Run(CMainWindow& window, const QString& commandLine);
};

}  // namespace qx
