#include "search/ui/MatchRowsModel.h"

namespace qx {

namespace {

// Gives the cells of match `index` in column order, hidden ones last.
template <typename Cell>
void EachCell(const MatchRowsSource& rows, std::size_t index, const Cell& cell) {
    const std::vector<MatchRow>* matches = rows();
    if (matches == nullptr || index >= matches->size()) {
        return;
    }
    const MatchRow& row = (*matches)[index];
    for (const std::string* text :
         {&row.title, &row.url, &row.description, &row.searchText, &row.includeText}) {
        cell(std::string_view(*text));
    }
}

}  // namespace

SourceRowTableModel* NewMatchRowsModel(MatchRowsSource rows, QObject* parent) {
    auto* model = new SourceRowTableModel(
        {QStringLiteral("Title"), QStringLiteral("URL"), QStringLiteral("Result")},
        [rows](std::size_t index) {
            QStringList cells;
            EachCell(rows, index, [&cells](std::string_view text) {
                cells.append(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
            });
            return cells;
        },
        parent);
    model->SetRowTexts(
        [rows](std::size_t index, const auto& cell) { EachCell(rows, index, cell); });
    return model;
}

}  // namespace qx
