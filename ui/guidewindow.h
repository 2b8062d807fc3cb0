#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QTextBrowser;
class QTextDocument;

namespace qova::ui {

class Operator;

// Where the guide shipped with the program may be, most likely first: beside the program
// (the Windows installer's guide folder), in the installed documentation, in the source tree
// of a build that was not installed.
QStringList GuideCandidates(const QString &programDir);
// The first candidate that exists; empty when none does.
QString FindGuide(const QString &programDir);

// The block where the heading `title` begins (any level, text as written), or -1.
int GuideHeadingBlock(const QTextDocument &document, const QString &title);
// The name a link gives a heading, as web pages of Markdown do: "The analyser's printer
// header lines" is #the-analysers-printer-header-lines.
QString GuideAnchor(const QString &heading);

// The user guide inside the program: the Markdown file as shipped, its pictures beside it,
// opened at a section.
class GuideWindow final : public QDialog {
    Q_OBJECT
public:
    explicit GuideWindow(QWidget *parent = nullptr);

    // Loads the guide at `path` and scrolls to `section` (the top when it has none or the
    // guide has no such heading). False when the file cannot be read.
    bool open(const QString &path, const QString &section);
    // The heading the view starts at, for the tests: empty at the top.
    QString shownSection() const { return shownSection_; }

    QTextBrowser *browser() const { return browser_; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void scrollToBlock(int block);
    void fitPictures();

    QTextBrowser *browser_;
    QString shownSection_;
    int sectionBlock_ = -1;
};

// Opens the guide over `over` at `section`; when it cannot be found or read, says so and
// where it should be.
void ShowGuide(QWidget *over, const QString &section, Operator &op, const QString &programDir = QString());

} // namespace qova::ui
