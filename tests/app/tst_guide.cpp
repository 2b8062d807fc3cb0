// The user guide inside the program: F1 in each window opens it at that window's section,
// with its pictures; HELP > USER GUIDE from the main window.
#include "tests/support/programrig.h"
#include "ui/guidewindow.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QtTest>

using namespace qova;

namespace {

struct Program : test::ProgramRig {
    Program() { windows.wire(); }
    ui::GuideWindow *guideOver(QWidget *window) const { return window->findChild<ui::GuideWindow *>(); }
};

const app::WindowLine &lineNamed(const QString &name)
{
    for (const app::WindowLine &line : app::WindowLines())
        if (QLatin1String(line.name) == name)
            return line;
    qFatal("no window %s", qPrintable(name));
}

} // namespace

class TestGuide : public QObject {
    Q_OBJECT
private slots:
    void f1OpensTheSectionOfTheWindow_data();
    void f1OpensTheSectionOfTheWindow();
    void theMenuOpensItFromTheMainWindow();
    void picturesAreShownBesideTheText();
    void aGuideThatCannotBeReadIsRefused();
    void theContentsLinksReachTheirHeadings();
};

void TestGuide::f1OpensTheSectionOfTheWindow_data()
{
    QTest::addColumn<QString>("window");
    for (const app::WindowLine &line : app::WindowLines())
        QTest::newRow(line.name) << QString::fromLatin1(line.name);
}

void TestGuide::f1OpensTheSectionOfTheWindow()
{
    QFETCH(QString, window);
    const app::WindowLine &line = lineNamed(window);
    QVERIFY2(*line.guideSection != '\0', "a window without a section of the guide");
    Program p;
    QWidget &w = line.window(p.windows);
    // Not shown: the live windows would start polling, and F1 is the same before that.
    QWidget *target = w.focusWidget() != nullptr ? w.focusWidget() : &w;
    QTest::keyClick(target, Qt::Key_F1);

    ui::GuideWindow *guide = p.guideOver(&w);
    QVERIFY2(guide != nullptr, "F1 opened no guide over the window");
    QVERIFY(p.op.shown.empty());
    QCOMPARE(guide->shownSection(), QString::fromUtf8(line.guideSection));
    // The heading is the first line of the view.
    const QTextBlock heading = guide->browser()->textCursor().block();
    QCOMPARE(heading.text(), QString::fromUtf8(line.guideSection));
    QVERIFY(heading.blockFormat().headingLevel() > 0);
    delete guide;
}

void TestGuide::theMenuOpensItFromTheMainWindow()
{
    Program p;
    QCOMPARE(p.windows.form1.UserGuide->shortcut(), QKeySequence(Qt::Key_F1));
    p.windows.form1.UserGuide->trigger();
    ui::GuideWindow *guide = p.guideOver(&p.windows.form1);
    QVERIFY(guide != nullptr);
    QCOMPARE(guide->shownSection(), QStringLiteral("The main window"));
    delete guide;
}

void TestGuide::picturesAreShownBesideTheText()
{
    const QString path = ui::FindGuide(QCoreApplication::applicationDirPath());
    QVERIFY2(!path.isEmpty(), qPrintable(ui::GuideCandidates(QCoreApplication::applicationDirPath()).join(", ")));
    ui::GuideWindow guide;
    QVERIFY(guide.open(path, QStringLiteral("The digital display")));
    int pictures = 0;
    for (QTextBlock b = guide.browser()->document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (!f.isImageFormat())
                continue;
            const QVariant image =
                guide.browser()->loadResource(QTextDocument::ImageResource, QUrl(f.toImageFormat().name()));
            QVERIFY2(image.isValid() && !image.value<QByteArray>().isEmpty(), qPrintable(f.toImageFormat().name()));
            ++pictures;
        }
    QVERIFY(pictures > 10);
}

void TestGuide::aGuideThatCannotBeReadIsRefused()
{
    QTemporaryDir dir;
    ui::GuideWindow guide;
    QVERIFY(!guide.open(dir.filePath(QStringLiteral("guide.md")), QStringLiteral("The main window")));
    // Beside the program is where the Windows installer puts it.
    QCOMPARE(ui::GuideCandidates(dir.path()).first(), dir.filePath(QStringLiteral("guide/guide.md")));
}

// Every link of the guide to one of its own headings leads to a heading.
void TestGuide::theContentsLinksReachTheirHeadings()
{
    const QString path = ui::FindGuide(QCoreApplication::applicationDirPath());
    ui::GuideWindow guide;
    QVERIFY(guide.open(path, {}));
    QSet<QString> anchors;
    QStringList links;
    for (QTextBlock b = guide.browser()->document()->begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() > 0)
            anchors.insert(ui::GuideAnchor(b.text()));
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QString href = it.fragment().charFormat().anchorHref();
            if (href.startsWith(QLatin1Char('#')))
                links << href.mid(1);
        }
    }
    QVERIFY(links.size() >= 15);
    for (const QString &link : links)
        QVERIFY2(anchors.contains(link), qPrintable(link));
    QCOMPARE(ui::GuideAnchor(QStringLiteral("The analyser's printer header lines")),
             QStringLiteral("the-analysers-printer-header-lines"));
    QCOMPARE(ui::GuideAnchor(QStringLiteral("Stored tests: upload, view, export")),
             QStringLiteral("stored-tests-upload-view-export"));
}

QTEST_MAIN(TestGuide)
#include "tst_guide.moc"
