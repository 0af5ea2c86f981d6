#include <QAbstractItemModelTester>
#include <QtTest>
#include <random>

#include "ui/SourceRowTableModel.h"

using namespace qx;

namespace {

QStringList Column(const QList<QStringList>& rows, int column = 0) {
    QStringList cells;
    for (const QStringList& row : rows) {
        cells << row.value(column);
    }
    return cells;
}

QStringList ShownColumn(const SourceRowTableModel& model, int column = 0) {
    QStringList cells;
    for (int i = 0; i < model.rowCount(); ++i) {
        cells << model.index(i, column).data().toString();
    }
    return cells;
}

QStringList LiveColumn(const SourceRowTableModel& model) {
    QStringList cells;
    for (int i = 0; i < model.TotalRows(); ++i) {
        cells << model.Cell(i, 0);
    }
    return cells;
}

// Gives the model the rows' texts as UTF-8.
void ReadAsUtf8(SourceRowTableModel& model, const QList<QStringList>& rows) {
    model.SetRowTexts([&rows](std::size_t row, const auto& cell) {
        for (const QString& text : rows.value(static_cast<qsizetype>(row))) {
            cell(text.toStdString());
        }
    });
}

}  // namespace

class SourceRowTableModelTest : public QObject {
    Q_OBJECT

private slots:
    // The model over a plain list, changed at random: between batches the
    // views keep the rows of the last batch (removed ones included), the
    // rows as they are read as the list, and each batch shows the list; the
    // tester checks every signal and the rows around it. With UTF-8 texts,
    // cells and removed rows' copies are read through them; a row short of
    // a cell is copied with an empty one.
    void batchesShowTheHoldersRows_data() {
        QTest::addColumn<int>("removalsPerBatch");
        QTest::addColumn<bool>("utf8");
        for (const bool utf8 : {false, true}) {
            const char* as = utf8 ? ", UTF-8 texts" : "";
            QTest::addRow("few removals per batch: signalled%s", as) << 3 << utf8;
            QTest::addRow("many removals per batch: reset%s", as) << 20 << utf8;
            QTest::addRow("more removals than a batch holds%s", as) << 5000 << utf8;
        }
    }
    void batchesShowTheHoldersRows() {
        QFETCH(int, removalsPerBatch);
        QFETCH(bool, utf8);
        QList<QStringList> rows;
        SourceRowTableModel model({QStringLiteral("A"), QStringLiteral("B")},
                                  [&rows](std::size_t row) { return rows.value(row); });
        if (utf8) {
            ReadAsUtf8(model, rows);
        }
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const int appendsPerBatch = removalsPerBatch > 100 ? 6000 : 25;
        std::mt19937 random(11);
        QStringList onScreen;
        QStringList onScreenB;  // the second column
        int next = 0;
        for (int batch = 0; batch < 12; ++batch) {
            for (int i = 0; i < appendsPerBatch; ++i) {
                rows.append({QStringLiteral("%1 é✓").arg(next), QStringLiteral("u%1").arg(next)});
                if (next % 3 == 0) {
                    rows.last().removeLast();
                }
                ++next;
                model.RowAppended();
            }
            if (removalsPerBatch > 100) {  // shown rows to remove
                model.FlushPending();
            }
            for (int i = 0; i < removalsPerBatch && !rows.isEmpty(); ++i) {
                const auto at = static_cast<int>(random() % static_cast<unsigned>(rows.size()));
                model.RowRemoving(at);
                rows.removeAt(at);
            }
            QCOMPARE(model.TotalRows(), rows.size());
            QCOMPARE(LiveColumn(model), Column(rows));
            // Copies of removed rows are bounded: past 4,096 they are shown.
            const int removedInView = model.rowCount() - (model.TotalRows() - model.PendingCount());
            QVERIFY(removedInView <= 4096);
            if (removalsPerBatch < 100) {
                QCOMPARE(ShownColumn(model), onScreen);
                QCOMPARE(ShownColumn(model, 1), onScreenB);
            }
            if (batch % 3 == 1) {
                const auto at = static_cast<int>(random() % static_cast<unsigned>(rows.size() + 1));
                rows.insert(at, {QString::number(next), QString()});
                ++next;
                model.RowInserted(at);
                QCOMPARE(ShownColumn(model), Column(rows));
            }
            model.FlushPending();
            onScreen = Column(rows);
            onScreenB = Column(rows, 1);
            QCOMPARE(ShownColumn(model), onScreen);
        }
    }

    void removedRowStaysShownUntilTheBatch() {
        QList<QStringList> rows = {{"0"}, {"1"}, {"2"}};
        SourceRowTableModel model({QStringLiteral("A")},
                                  [&rows](std::size_t row) { return rows.value(row); });
        model.Reset(3);
        model.RowRemoving(1);
        rows.removeAt(1);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.ShownCell(1, 0), QStringLiteral("1"));
        QCOMPARE(model.Cell(1, 0), QStringLiteral("2"));
        QTRY_COMPARE(model.rowCount(), 2);  // the batch timer shows it
        QCOMPARE(ShownColumn(model), QStringList({"0", "2"}));
    }

    // A lone change shows after the short delay; a stream of changes shows
    // in batches at least the gap apart.
    void streamOfChangesShownInSpacedBatches() {
        QList<QStringList> rows;
        SourceRowTableModel model({QStringLiteral("A")},
                                  [&rows](std::size_t row) { return rows.value(row); });
        QSignalSpy batches(&model, &QAbstractItemModel::rowsInserted);
        auto append = [&] {
            rows.append({QString::number(rows.size())});
            model.RowAppended();
        };
        append();
        QTRY_COMPARE(batches.size(), 1);
        QElapsedTimer streaming;
        streaming.start();
        while (streaming.elapsed() < 1000) {
            append();
            QTest::qWait(5);
        }
        model.FlushPending();
        QCOMPARE(model.rowCount(), rows.size());
        const qint64 most = 2 + streaming.elapsed() / SourceRowTableModel::kBatchGapMs;
        QVERIFY2(batches.size() <= most, qPrintable(QString::number(batches.size())));
    }
};

QTEST_MAIN(SourceRowTableModelTest)
#include "SourceRowTableModel_test.moc"
