#include "app/settingsfile.h"
#include "app/ui/aboutbox.h"
#include "app/ui/commdialog.h"
#include "app/ui/companyheader.h"
#include "app/ui/mainwindow.h"
#include "tests/support/datarows.h"
#include "tests/support/scriptedoperator.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace qova;

namespace {
struct Shell {
    link::VirtualPause pause;
    test::ScriptedOperator op;
    ui::SharedState state{{}, pause, op};
    QTemporaryDir dir;
    QString portFile = dir.filePath(QStringLiteral("SETUP.EA2"));
    app::TForm1 form1{state};

    explicit Shell(int port = 1)
    {
        if (port != 1) {
            QFile f(portFile);
            f.open(QIODevice::WriteOnly);
            f.write(QByteArray("PORT=") + QByteArray::number(port));
        }
        form1.FormCreate(false, portFile);
    }
    QByteArray fileBytes() const
    {
        QFile f(portFile);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
};

// With QOVA_SCREENSHOT_DIR set, keeps a picture of the dialog for the docs.
void keepShot(QWidget &w, const char *name)
{
    const QByteArray dir = qgetenv("QOVA_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        w.grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

app::SettingsOpener iniAt(const QString &path)
{
    return [path] { return std::make_unique<QSettings>(path, QSettings::IniFormat); };
}
} // namespace

class TestSettingsDialogs : public QObject {
    Q_OBJECT
private slots:
    void commOkWritesSixBytes_data();
    void commOkWritesSixBytes();
    void commCancelChangesNothing_data();
    void commCancelChangesNothing();
    void commFileCannotBeWritten();
    void commSelectsCurrentPort_data();
    void commSelectsCurrentPort();
    void headerKeepsThirtyNine_data();
    void headerKeepsThirtyNine();
    void headerLoadedAtCreation();
    void aboutKeepsStartupPort();
};

void TestSettingsDialogs::commOkWritesSixBytes_data()
{
    QTest::addColumn<int>("startPort");
    QTest::addColumn<int>("choice");
    QTest::newRow("1to2") << 1 << 2;
    QTest::newRow("3to4") << 3 << 4;
    QTest::newRow("4to1") << 4 << 1;
    QTest::newRow("unchanged") << 3 << 3;
}

void TestSettingsDialogs::commOkWritesSixBytes()
{
    QFETCH(int, startPort);
    QFETCH(int, choice);
    Shell shell(startPort);
    QCOMPARE(shell.form1.windowTitle(), app::StartupCaption(startPort));
    app::TForm4 form4(shell.state, shell.portFile, &shell.form1);
    form4.Prepare();
    form4.show();
    form4.findChild<QRadioButton *>(QStringLiteral("RadioButton%1").arg(choice))->click();
    QCOMPARE(form4.SelectedPort(), choice);
    keepShot(form4, "comm");
    form4.Button1->click();

    QCOMPARE(shell.fileBytes(), QByteArray("PORT=") + QByteArray::number(choice));
    QCOMPARE(shell.state.port.PortNumber, choice);
    QCOMPARE(shell.form1.windowTitle(), QStringLiteral("QOVA  COM%1").arg(choice));
    QVERIFY(!form4.isVisible());
    QVERIFY(shell.op.shown.empty());

    // The next start reads the choice back.
    link::VirtualPause pause;
    test::ScriptedOperator op;
    ui::SharedState next({}, pause, op);
    app::TForm1 again(next);
    again.FormCreate(false, shell.portFile);
    QCOMPARE(next.port.PortNumber, choice);
    QCOMPARE(again.windowTitle(), QStringLiteral("QOVA    COM%1").arg(choice));
}

void TestSettingsDialogs::commCancelChangesNothing_data()
{
    test::BoolRows("closeBox", "cancel", "closeBox");
}

void TestSettingsDialogs::commCancelChangesNothing()
{
    QFETCH(bool, closeBox);
    Shell shell(2);
    const QByteArray before = shell.fileBytes();
    app::TForm4 form4(shell.state, shell.portFile, &shell.form1);
    form4.Prepare();
    form4.show();
    form4.RadioButton4->click();
    if (closeBox)
        form4.close();
    else
        form4.Button2->click();
    QVERIFY(!form4.isVisible());
    QCOMPARE(shell.state.port.PortNumber, 2);
    QCOMPARE(shell.form1.windowTitle(), QStringLiteral("QOVA    COM2"));
    QCOMPARE(shell.fileBytes(), before);
    // The next showing starts from the port in use again.
    form4.Prepare();
    QVERIFY(form4.RadioButton2->isChecked());
    QCOMPARE(form4.SelectedPort(), 2);
}

void TestSettingsDialogs::commFileCannotBeWritten()
{
    Shell shell(3);
    app::TForm4 form4(shell.state, shell.dir.filePath(QStringLiteral("missing/SETUP.EA2")), &shell.form1);
    form4.Prepare();
    form4.show();
    form4.RadioButton1->click();
    form4.Button1->click();
    QCOMPARE(shell.op.texts(), QStringList{QStringLiteral("can not open file")});
    const QString path = QDir::toNativeSeparators(shell.dir.filePath(QStringLiteral("missing/SETUP.EA2")));
    QVERIFY2(shell.op.shown[0].detail.startsWith(path + QStringLiteral(" cannot be written: ")),
             qPrintable(shell.op.shown[0].detail));
    QCOMPARE(shell.state.port.PortNumber, 3);
    QCOMPARE(shell.form1.windowTitle(), QStringLiteral("QOVA  COM3"));
    QVERIFY(!form4.isVisible());
}

void TestSettingsDialogs::commSelectsCurrentPort_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("checked");
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("4") << 4 << 4;
    QTest::newRow("outOfRange") << 7 << 1;
}

void TestSettingsDialogs::commSelectsCurrentPort()
{
    QFETCH(int, port);
    QFETCH(int, checked);
    Shell shell;
    app::TForm4 form4(shell.state, shell.portFile, &shell.form1);
    form4.RadioButton3->setChecked(true);
    shell.state.port.PortNumber = port;
    form4.Prepare();
    QVERIFY(form4.findChild<QRadioButton *>(QStringLiteral("RadioButton%1").arg(checked))->isChecked());
}

void TestSettingsDialogs::headerKeepsThirtyNine_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("enter") << QStringLiteral("enter");
    QTest::newRow("closeBox") << QStringLiteral("close");
    QTest::newRow("escape") << QStringLiteral("escape");
}

void TestSettingsDialogs::headerKeepsThirtyNine()
{
    QFETCH(QString, how);
    Shell shell;
    const QString ini = shell.dir.filePath(QStringLiteral("gas.ini"));
    app::TForm7 form7(shell.state, iniAt(ini));
    QCOMPARE(shell.state.CompanyHeader, QString());
    form7.show();
    form7.Edit1->clear();
    const QString typed = QStringLiteral("ACME MOTORS LTD 12 HIGH STREET NORTHWICK ROAD"); // 45 characters
    QTest::keyClicks(form7.Edit1, typed);
    QCOMPARE(form7.Edit1->text(), typed.left(40));
    keepShot(form7, "companyheader");
    if (how == QLatin1String("enter"))
        QTest::keyClick(form7.Edit1, Qt::Key_Return);
    else if (how == QLatin1String("escape"))
        QTest::keyClick(&form7, Qt::Key_Escape);
    else
        form7.close();
    QVERIFY(!form7.isVisible());
    QCOMPARE(shell.state.CompanyHeader, typed.left(39));
    QSettings stored(ini, QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("header")).toString(), typed.left(39));
}

void TestSettingsDialogs::headerLoadedAtCreation()
{
    Shell shell;
    const QString ini = shell.dir.filePath(QStringLiteral("gas.ini"));
    {
        QSettings s(ini, QSettings::IniFormat);
        s.setValue(QStringLiteral("header"), QStringLiteral("A HEADER THAT SOMEBODY STORED BY HAND, FAR TOO LONG"));
    }
    app::TForm7 form7(shell.state, iniAt(ini));
    QCOMPARE(form7.Edit1->text(), QStringLiteral("A HEADER THAT SOMEBODY STORED BY HAND, F"));
    QCOMPARE(shell.state.CompanyHeader, QStringLiteral("A HEADER THAT SOMEBODY STORED BY HAND, "));
    QCOMPARE(form7.Label1->text(), QStringLiteral("ENTER COMPANY HEADER"));
}

void TestSettingsDialogs::aboutKeepsStartupPort()
{
    Shell shell(3);
    app::TForm4 form4(shell.state, shell.portFile, &shell.form1);
    app::TForm5 form5(shell.state);
    QCOMPARE(form5.windowTitle(), QStringLiteral("QOVA    COM3"));
    form4.Prepare();
    form4.RadioButton2->click();
    form4.Button1->click();
    QCOMPARE(shell.state.port.PortNumber, 2);
    QCOMPARE(form5.windowTitle(), QStringLiteral("QOVA    COM3"));
    form5.show();
    keepShot(form5, "about");
    form5.BitBtn1->click();
    QVERIFY(!form5.isVisible());
}

QTEST_MAIN(TestSettingsDialogs)
#include "tst_settingsdialogs.moc"
