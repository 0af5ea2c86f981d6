#include <QAbstractItemModelTester>
#include <QtTest>
#include <random>
#include <vector>

#include "ui/RowTableModel.h"

using namespace qx;

namespace {

QStringList Row(int i) {
    return {QString::number(i), QStringLiteral("u%1").arg(i)};
}

QStringList LiveColumn(const RowTableModel& model) {
    QStringList cells;
    for (int i = 0; i < model.TotalRows(); ++i) {
        cells << model.Cell(i, 0);
    }
    return cells;
}

QStringList ShownColumn(const RowTableModel& model) {
    QStringList cells;
    for (int i = 0; i < model.rowCount(); ++i) {
        cells << model.index(i, 0).data().toString();
    }
    return cells;
}

}  // namespace

class RowTableModelTest : public QObject {
    Q_OBJECT

private slots:
    // Removals and appends are numbered as the rows are at once, shown in
    // batches, and always agree with a plain list: few runs are signalled
    // as removals, many as a reset; the tester checks every signal.
    void batchedChangesAgreeWithAPlainList_data() {
        QTest::addColumn<int>("removalsPerBatch");
        QTest::newRow("few removals per batch") << 3;
        QTest::newRow("many removals per batch") << 20;
    }
    void batchedChangesAgreeWithAPlainList() {
        QFETCH(int, removalsPerBatch);
        RowTableModel model({QStringLiteral("A"), QStringLiteral("B")});
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QStringList expected;
        std::mt19937 random(11);
        int next = 0;
        for (int batch = 0; batch < 30; ++batch) {
            for (int i = 0; i < 25; ++i) {
                model.Append(Row(next));
                expected << QString::number(next++);
            }
            for (int i = 0; i < removalsPerBatch && !expected.isEmpty(); ++i) {
                const int at = static_cast<int>(random() % static_cast<unsigned>(expected.size()));
                model.RemoveRowAt(at);
                expected.removeAt(at);
            }
            if (!expected.isEmpty()) {
                const auto changed =
                    static_cast<int>(random() % static_cast<unsigned>(expected.size()));
                model.SetCell(changed, 1, QStringLiteral("changed"));
                QCOMPARE(model.Cell(changed, 1), QStringLiteral("changed"));
            }
            QCOMPARE(model.TotalRows(), expected.size());
            QCOMPARE(LiveColumn(model), expected);
            if (batch % 3 == 0) {
                model.InsertRowAt(0, Row(next));
                expected.prepend(QString::number(next++));
            }
            model.FlushPending();
            QCOMPARE(ShownColumn(model), expected);
        }
    }

    // Rows are kept packed; every cell must come back as it went in, in
    // every way a row is read, and a changed cell must leave the others be.
    void cellsKeepTheirTextWhateverItHolds() {
        const QString withNul = QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b");
        const struct Case {
            const char* name;
            QStringList cells;
        } cases[] = {
            {"empty cells", {QString(), QString(), QString()}},
            {"fewer cells than columns", {QStringLiteral("only")}},
            {"more cells than columns",
             {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}},
            {"non-ASCII",
             {QStringLiteral("caf\u00e9"), QStringLiteral("\u6f22\u5b57"),
              QStringLiteral("\U0001F600 smile")}},
            {"NUL inside a cell", {withNul, QStringLiteral("x"), withNul}},
            {"lengths past one and two length bytes",
             {QString(127, u'a'), QString(128, u'b'), QString(20000, u'c')}},
        };
        RowTableModel model({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (const Case& c : cases) {
            QStringList expected = c.cells;
            while (expected.size() < 3) {
                expected << QString();
            }
            model.Clear();
            model.Append(c.cells);  // queued
            for (int column = 0; column < expected.size(); ++column) {
                QVERIFY2(model.Cell(0, column) == expected[column], c.name);
            }
            model.SetCell(0, 1, QStringLiteral("queued change"));
            model.FlushPending();  // shown
            model.InsertRowAt(0, c.cells);
            for (int column = 0; column < expected.size(); ++column) {
                QVERIFY2(model.ShownCell(0, column) == expected[column], c.name);
                if (column < 3) {
                    QVERIFY2(model.index(0, column).data() == expected[column], c.name);
                }
            }
            model.SetCell(1, 2, QStringLiteral("shown change"));
            expected[1] = QStringLiteral("queued change");
            expected[2] = QStringLiteral("shown change");
            for (int column = 0; column < expected.size(); ++column) {
                QVERIFY2(model.Cell(1, column) == expected[column], c.name);
            }
        }
    }

    void removedRowStaysShownUntilTheBatch() {
        RowTableModel model({QStringLiteral("A"), QStringLiteral("B")});
        for (int i = 0; i < 3; ++i) {
            model.Append(Row(i));
        }
        model.FlushPending();
        model.RemoveRowAt(1);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.ShownCell(1, 0), QStringLiteral("1"));
        QCOMPARE(model.Cell(1, 0), QStringLiteral("2"));
        QTRY_COMPARE(model.rowCount(), 2);  // the batch timer shows it
        QCOMPARE(ShownColumn(model), QStringList({"0", "2"}));
    }
};

QTEST_MAIN(RowTableModelTest)
#include "RowTableModel_test.moc"
