#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

#include "search/ResultExport.h"

namespace qx {

// "Export Results..." and "Export Scan List...": a save dialog picks the file
// and, by its filter, CSV or JSON Lines; the rows are written to a temporary
// file that replaces the target only when complete, so a failed export leaves
// the old file whole.
class ResultsExportFile {
public:
    struct Choice {
        QString path;
        ResultExport::Format format = ResultExport::Format::kCsv;
    };
    // Returns the chosen file, or nothing when the user cancelled. Tests
    // replace the dialog with a function that names the file instead.
    using Hook = std::function<std::optional<Choice>(const QString& suggestedName)>;
    static void SetHook(Hook hook);

    static constexpr const char* kNoItem = "No item to export";
    static constexpr const char* kFailedToCreate = "Failed to create!";
    static constexpr const char* kCsvFilter = "CSV Files (*.csv)";
    static constexpr const char* kJsonLinesFilter = "JSON Lines Files (*.jsonl)";

    // Runs the whole command on the rows; `suggestedName` is the file name
    // the dialog offers (without suffix). True when a file was written.
    static bool Run(QWidget* parent, const std::vector<ExportRow>& rows,
                    const QString& suggestedName, bool withReason = false);

    // Writes the rows in the format; false when the file could not be
    // written (the old file, if any, is then unchanged).
    static bool Write(const QString& path, ResultExport::Format format,
                      const std::vector<ExportRow>& rows, bool withReason = false);

private:
    static std::optional<Choice> Ask(QWidget* parent, const QString& suggestedName);
};

}  // namespace qx
