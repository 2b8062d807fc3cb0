// The real message box and save box of the operator seam, Qt's own dialog on the offscreen platform, driven
// by a timer as the operator would: the suffix it adds follows the filter chosen, and a box
// opened in the history's folder leaves SQLite's locks on the history alone.
#include "history/historydatabase.h"
#include "tests/support/datarows.h"
#include "ui/operator.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

using namespace qova;

class TestFileDialog : public QObject {
    Q_OBJECT
private slots:
    void suffixFollowsTheChosenFilter_data();
    void suffixFollowsTheChosenFilter();
    void historyKeepsItsLocksWhileABoxListsItsFolder_data();
    void historyKeepsItsLocksWhileABoxListsItsFolder();
    void aReasonIsReadInTheBoxItself();
};

namespace {

// Whether another process sees a lock on `path`: a process's own locks are invisible to
// itself, and only another one tells whether they are still there.
bool lockSeenFromOutside(const QString &path)
{
    QProcess other;
    other.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--lock-held"), path});
    return other.waitForFinished(10000) && other.exitStatus() == QProcess::NormalExit && other.exitCode() == 0;
}

int lockHeld(const char *path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return 2; // only POSIX locks are asked about
#else
    const int fd = ::open(path, O_RDWR);
    if (fd < 0)
        return 2;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const bool held = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    return held ? 0 : 1;
#endif
}

} // namespace

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

void TestFileDialog::historyKeepsItsLocksWhileABoxListsItsFolder_data()
{
    test::BoolRows("save", "open box", "save box");
}

void TestFileDialog::historyKeepsItsLocksWhileABoxListsItsFolder()
{
    QFETCH(bool, save);
#ifdef Q_OS_WIN
    QSKIP("a Windows lock belongs to the handle that took it: another handle of the file cannot drop it");
#endif
    QTemporaryDir dir;
    history::HistoryDatabase db;
    QVERIFY(db.open(QStringLiteral("sqlite://") + dir.filePath(QStringLiteral("history.db"))).ok());
    history::TestEntry entry = history::NewEntry(QDateTime::currentDateTime());
    entry.registration = QStringLiteral("AB12CDE");
    QVERIFY(db.save(entry).ok());
    const QString shm = dir.filePath(QStringLiteral("history.db-shm"));
    QVERIFY2(lockSeenFromOutside(shm), "SQLite holds no lock on its shared memory file to begin with");

    bool listed = false;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        auto *model = box ? box->findChild<QFileSystemModel *>() : nullptr;
        if (!model)
            return;
        // Every file of the folder shown, its icon and type asked for as the view asks.
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 3000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            const QModelIndex folder = model->index(dir.path());
            if (model->rowCount(folder) >= 3) {
                for (int row = 0; row < model->rowCount(folder); ++row) {
                    model->data(model->index(row, 0, folder), Qt::DecorationRole);
                    model->type(model->index(row, 0, folder));
                }
                listed = true;
                if (waited.elapsed() > 1000)
                    break;
            }
            QThread::msleep(10);
        }
        box->reject();
    });
    QTimer::singleShot(8000, this, [] {
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
    });
    ui::WidgetOperator op;
    ui::FileRequest request{QStringLiteral("Save the certificate"), dir.path(), QStringLiteral("All files (*)"), {}};
    if (save)
        op.saveFileName(nullptr, request);
    else
        op.openFileName(nullptr, request);
    QVERIFY(listed);
    QVERIFY2(lockSeenFromOutside(shm), "the box dropped SQLite's lock on the history's shared memory");
    // And the history goes on being written.
    history::TestEntry later = history::NewEntry(QDateTime::currentDateTime());
    later.registration = QStringLiteral("AB12CDE");
    QVERIFY(db.save(later).ok());
}

void TestFileDialog::aReasonIsReadInTheBoxItself()
{
    const QString reason =
        QStringLiteral("/dev/ttyS0: Permission denied\nChoose the connection, or test it, in FILE > COMM.");
    QString shown, hidden;
    bool found = false;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        found = true;
        shown = box->informativeText();
        hidden = box->detailedText();
        box->accept();
    });
    QTimer::singleShot(5000, this, [] {
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
    });
    ui::WidgetOperator op;
    op.message(nullptr, QStringLiteral("QOVA"), QStringLiteral("Communication failed try again"), ui::Icon::None,
               ui::Buttons::Ok, reason);
    QVERIFY(found);
    QCOMPARE(shown, reason);
    QVERIFY(hidden.isEmpty());
}

int main(int argc, char **argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--lock-held")
        return lockHeld(argv[2]);
    QApplication app(argc, argv);
    TestFileDialog test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_filedialog.moc"
