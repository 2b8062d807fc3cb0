#include "ui/operator.h"

#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QRegularExpression>

namespace qova::ui {

namespace {
QMessageBox::Icon boxIcon(Icon icon)
{
    switch (icon) {
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::Warning:
        return QMessageBox::Warning;
    case Icon::Stop:
        return QMessageBox::Critical;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// A box cannot be read off the screen by a test that drives the program from outside:
// QOVA_MESSAGE_LOG names a file that gets one line per box as it opens (the time in
// milliseconds, the caption, the text and the detailed text, separated by tabs).
void logBox(const QString &caption, const QString &text, const QString &detail)
{
    static const QString path = qEnvironmentVariable("QOVA_MESSAGE_LOG");
    if (path.isEmpty())
        return;
    QFile log(path);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    auto flat = [](QString s) {
        return s.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1String("\\n"));
    };
    log.write(QStringLiteral("%1\t%2\t%3\t%4\n")
                  .arg(QDateTime::currentMSecsSinceEpoch())
                  .arg(flat(caption), flat(text), flat(detail))
                  .toUtf8());
}

// Icons and types from a file's name alone. Qt's own provider asks the MIME database, which
// opens a file whose name says too little (the history's -wal and -shm among them) to read
// its first bytes; closing any descriptor of a file drops every POSIX lock this process holds
// on it, SQLite's among them, and the history is then open to corruption.
class NameOnlyIconProvider : public QFileIconProvider {
public:
    QIcon icon(IconType type) const override { return QFileIconProvider::icon(type); }
    QIcon icon(const QFileInfo &info) const override
    {
        if (info.isDir())
            return QFileIconProvider::icon(Folder);
        const QMimeType mime = QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
        const QIcon themed = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
        return themed.isNull() ? QFileIconProvider::icon(File) : themed;
    }
    QString type(const QFileInfo &info) const override
    {
        if (info.isDir())
            return QStringLiteral("Folder");
        return QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension).comment();
    }
};

QFileDialog::Options dialogOptions()
{
#ifdef Q_OS_WIN
    // The system's dialog; Windows' locks belong to a handle, so another one opened and
    // closed takes nothing from SQLite.
    return {};
#else
    // Qt's own dialog, with icons from names only: a platform dialog in this process reads
    // the files it lists, and closing them drops SQLite's locks on the history.
    return QFileDialog::DontUseNativeDialog | QFileDialog::DontUseCustomDirectoryIcons;
#endif
}

QString runDialog(QWidget *parent, const FileRequest &r, QFileDialog::AcceptMode mode, QString *selectedFilter)
{
    NameOnlyIconProvider icons; // outlives the dialog, whose model asks it
    QFileDialog dialog(parent, r.caption, r.directory, r.filter);
    dialog.setOptions(dialogOptions());
    dialog.setIconProvider(&icons);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(r.defaultSuffix);
    if (!r.defaultSuffix.isEmpty() && r.filter.contains(QLatin1String(";;"))) {
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, &r](const QString &filter) {
            const QString suffix = FilterSuffix(filter);
            dialog.setDefaultSuffix(suffix.isEmpty() ? r.defaultSuffix : suffix);
        });
    }
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !r.confirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    if (selectedFilter)
        *selectedFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().constFirst();
}
} // namespace

Answer WidgetOperator::message(QWidget *parent, const QString &caption, const QString &text, Icon icon, Buttons buttons,
                               const QString &detail)
{
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::NoButton, parent);
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case Buttons::NoYes:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    }
    // The reason is what the operator needs to act on, so it is in the box itself rather
    // than behind a Show Details button.
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    logBox(caption, text, detail);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        return buttons == Buttons::YesNo || buttons == Buttons::NoYes ? Answer::No : Answer::Ok;
    }
}

QString WidgetOperator::openFileName(QWidget *parent, const FileRequest &request)
{
    return runDialog(parent, request, QFileDialog::AcceptOpen, nullptr);
}

QString WidgetOperator::saveFileName(QWidget *parent, const FileRequest &request, QString *selectedFilter)
{
    return runDialog(parent, request, QFileDialog::AcceptSave, selectedFilter);
}

QString FilterSuffix(const QString &filter)
{
    static const QRegularExpression firstPattern(QStringLiteral(R"(\(\s*\*\.([A-Za-z0-9_]+)[\s)])"));
    const QRegularExpressionMatch match = firstPattern.match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace qova::ui
