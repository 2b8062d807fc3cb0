#include "ui/guidewindow.h"

#include "ui/operator.h"
#include "ui/windowplace.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace qova::ui {

QStringList GuideCandidates(const QString &programDir)
{
    const QDir dir(programDir);
    QStringList out{dir.filePath(QStringLiteral("guide/guide.md")),
                    dir.filePath(QStringLiteral("../" QOVA_INSTALL_DOCDIR "/guide.md"))};
#ifdef QOVA_SOURCE_DOCDIR
    out << QStringLiteral(QOVA_SOURCE_DOCDIR "/guide.md");
#endif
    for (QString &path : out)
        path = QDir::cleanPath(path);
    return out;
}

QString FindGuide(const QString &programDir)
{
    for (const QString &path : GuideCandidates(programDir))
        if (QFileInfo(path).isFile())
            return path;
    return {};
}

int GuideHeadingBlock(const QTextDocument &document, const QString &title)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        if (block.blockFormat().headingLevel() > 0 && block.text().trimmed() == title)
            return block.blockNumber();
    return -1;
}

QString GuideAnchor(const QString &heading)
{
    QString out;
    for (const QChar c : heading.trimmed().toLower()) {
        if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'))
            out += c;
        else if (c == QLatin1Char(' '))
            out += QLatin1Char('-');
    }
    return out;
}

namespace {
int anchorBlock(const QTextDocument &document, const QString &anchor)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        if (block.blockFormat().headingLevel() > 0 && GuideAnchor(block.text()) == anchor)
            return block.blockNumber();
    return -1;
}
} // namespace

GuideWindow::GuideWindow(QWidget *parent) : QDialog(parent), browser_(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("GuideWindow"));
    setWindowTitle(QStringLiteral("QOVA user guide"));
    setAttribute(Qt::WA_DeleteOnClose);
    setProperty(kPlaceKey, QStringLiteral("guide"));
    browser_->setObjectName(QStringLiteral("GuideText"));
    // The guide's own links name its headings as a web page would (#the-digital-display);
    // a Markdown heading has no anchor in the view, so they are followed here.
    browser_->setOpenLinks(false);
    connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl &link) {
        const bool here = link.isRelative() && link.path().isEmpty();
        if (here) {
            scrollToBlock(anchorBlock(*browser_->document(), link.fragment()));
            return;
        }
        QDesktopServices::openUrl(browser_->source().resolved(link));
    });
    browser_->setAccessibleName(QStringLiteral("User guide"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(browser_);
    layout->addWidget(buttons);
}

bool GuideWindow::open(const QString &path, const QString &section)
{
    if (!QFileInfo(path).isReadable())
        return false;
    browser_->setSource(QUrl::fromLocalFile(path), QTextDocument::MarkdownResource);
    if (browser_->document()->isEmpty())
        return false;
    fitPictures();
    const int at = section.isEmpty() ? -1 : GuideHeadingBlock(*browser_->document(), section);
    sectionBlock_ = at;
    scrollToBlock(at);
    shownSection_ = at < 0 ? QString() : section;
    return true;
}

void GuideWindow::fitPictures()
{
    // Pictures of a whole screen are scaled down to a width that reads beside the text.
    constexpr int kWidest = 720;
    QTextDocument *document = browser_->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat picture = fragment.charFormat().toImageFormat();
            const QImage image = QImage::fromData(
                browser_->loadResource(QTextDocument::ImageResource, QUrl(picture.name())).toByteArray());
            if (image.isNull() || image.width() <= kWidest)
                continue;
            picture.setWidth(kWidest);
            picture.setHeight(double(image.height()) * kWidest / image.width());
            QTextCursor cursor(document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(picture);
        }
    }
}

void GuideWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The text is laid out for the window's width only once it is shown.
    QTimer::singleShot(0, this, [this] { scrollToBlock(sectionBlock_); });
}

void GuideWindow::scrollToBlock(int block)
{
    if (block < 0) {
        browser_->moveCursor(QTextCursor::Start);
        return;
    }
    // The heading at the top of the view: to the end first, so scrolling back up leaves it there.
    browser_->moveCursor(QTextCursor::End);
    browser_->setTextCursor(QTextCursor(browser_->document()->findBlockByNumber(block)));
    browser_->ensureCursorVisible();
}

void ShowGuide(QWidget *over, const QString &section, Operator &op, const QString &programDir)
{
    const QString dir = programDir.isEmpty() ? QCoreApplication::applicationDirPath() : programDir;
    const QString path = FindGuide(dir);
    auto *guide = new GuideWindow(over);
    if (path.isEmpty() || !guide->open(path, section)) {
        delete guide;
        op.message(over, QStringLiteral("QOVA"), QStringLiteral("The user guide could not be opened."), Icon::Warning,
                   Buttons::Ok,
                   QStringLiteral("It is installed with the program as guide.md; looked for:\n%1\nInstall the "
                                  "program again to bring it back.")
                       .arg(GuideCandidates(dir).join(QLatin1Char('\n'))));
        return;
    }
    // Beside the window it explains, never larger than the screen.
    if (const QScreen *screen = over != nullptr ? over->screen() : nullptr) {
        const QRect free = screen->availableGeometry();
        guide->resize(std::min(820, free.width() * 9 / 10), std::min(680, free.height() * 9 / 10));
    }
    guide->show();
    guide->raise();
    guide->activateWindow();
}

} // namespace qova::ui
