// The real save box of the operator seam, Qt's own dialog on the offscreen platform, driven
// by a timer as the operator would: the suffix it adds follows the filter chosen.
#include "operator.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

using namespace qova;

class TestFileDialog : public QObject {
    Q_OBJECT
private slots:
    void suffixFollowsTheChosenFilter_data();
    void suffixFollowsTheChosenFilter();
};

void TestFileDialog::suffixFollowsTheChosenFilter_data()
{
    QTest::addColumn<int>("choice"); // the filter's row in the box; -1 leaves it as it opened
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("filter");
    QTest::newRow("as it opens") << -1 << "run1"
                                 << "run1.TXT"
                                 << "Text (*.TXT *.txt)";
    QTest::newRow("CSV chosen") << 1 << "run1"
                                << "run1.csv"
                                << "CSV for spreadsheets (*.csv)";
    QTest::newRow("CSV and back") << 0 << "run1"
                                  << "run1.TXT"
                                  << "Text (*.TXT *.txt)";
    QTest::newRow("typed suffix kept") << 1 << "run1.dat"
                                       << "run1.dat"
                                       << "CSV for spreadsheets (*.csv)";
}

void TestFileDialog::suffixFollowsTheChosenFilter()
{
    QFETCH(int, choice);
    QFETCH(QString, typed);
    QFETCH(QString, file);
    QFETCH(QString, filter);
    QTemporaryDir dir;
    ui::FileRequest request{QStringLiteral("Record in file"), dir.path(),
                            QStringLiteral("Text (*.TXT *.txt);;CSV for spreadsheets (*.csv)"), QStringLiteral("TXT")};
    bool driven = false;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!box)
            return;
        auto *types = box->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        auto *name = box->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!types || !name)
            return;
        // What the box sends when the operator picks a row.
        auto pick = [types](int row) {
            types->setCurrentIndex(row);
            emit types->activated(row);
            emit types->textActivated(types->itemText(row));
        };
        if (choice == 0)
            pick(1);
        if (choice >= 0)
            pick(choice);
        name->setText(typed);
        driven = true;
        static_cast<QDialog *>(box)->accept(); // QFileDialog::accept, as the Save button calls it
    });
    // Should the box not be found, it is closed rather than left waiting.
    QTimer::singleShot(5000, this, [] {
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
    });
    ui::WidgetOperator op;
    QString selected;
    const QString path = op.saveFileName(nullptr, request, &selected);
    QVERIFY(driven);
    QCOMPARE(QFileInfo(path).fileName(), file);
    QCOMPARE(selected, filter);
}

QTEST_MAIN(TestFileDialog)
#include "tst_filedialog.moc"
