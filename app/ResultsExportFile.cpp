#include "app/ResultsExportFile.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>

#include "ui/MessageBox.h"

namespace qx {

namespace {

ResultsExportFile::Hook& InstalledHook() {
    static ResultsExportFile::Hook hook;
    return hook;
}

QString SuffixOf(const QString& filter) {
    return filter == QLatin1String(ResultsExportFile::kJsonLinesFilter) ? QStringLiteral("jsonl")
                                                                        : QStringLiteral("csv");
}

std::optional<ResultsExportFile::Choice> RunDialog(QWidget* parent, const QString& suggestedName) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setNameFilters({QString::fromLatin1(ResultsExportFile::kCsvFilter),
                           QString::fromLatin1(ResultsExportFile::kJsonLinesFilter)});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    // A name typed without a suffix gets the one of the chosen filter.
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog](const QString& filter) { dialog.setDefaultSuffix(SuffixOf(filter)); });
    dialog.selectFile(suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    ResultsExportFile::Choice choice;
    choice.path = dialog.selectedFiles().constFirst();
    choice.format =
        dialog.selectedNameFilter() == QLatin1String(ResultsExportFile::kJsonLinesFilter)
            ? ResultExport::Format::kJsonLines
            : ResultExport::Format::kCsv;
    return choice;
}

// A file that no one may write is left alone, even by a user (such as root)
// whom the system would let replace it.
bool ReadOnlyFile(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !info.isDir() &&
           !(info.permissions() &
             (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther));
}

}  // namespace

void ResultsExportFile::SetHook(Hook hook) {
    InstalledHook() = std::move(hook);
}

std::optional<ResultsExportFile::Choice> ResultsExportFile::Ask(QWidget* parent,
                                                                const QString& suggestedName) {
    if (InstalledHook()) {
        return InstalledHook()(suggestedName);
    }
    return RunDialog(parent, suggestedName);
}

bool ResultsExportFile::Write(const QString& path, ResultExport::Format format,
                              const std::vector<ExportRow>& rows, bool withReason) {
    if (ReadOnlyFile(path)) {
        return false;
    }
    const std::string content = ResultExport::Serialize(format, rows, withReason);
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(content.data(), static_cast<qint64>(content.size())) ==
               static_cast<qint64>(content.size()) &&
           file.commit();
}

bool ResultsExportFile::Run(QWidget* parent, const std::vector<ExportRow>& rows,
                            const QString& suggestedName, bool withReason) {
    if (rows.empty()) {
        QxMessageBox(QString::fromLatin1(kNoItem));
        return false;
    }
    const std::optional<Choice> choice = Ask(parent, suggestedName);
    if (!choice || choice->path.isEmpty()) {
        return false;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool written = Write(choice->path, choice->format, rows, withReason);
    QGuiApplication::restoreOverrideCursor();
    if (!written) {
        QxMessageBox(QString::fromLatin1(kFailedToCreate));
    }
    return written;
}

}  // namespace qx
