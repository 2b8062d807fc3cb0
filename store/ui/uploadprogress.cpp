#include "store/ui/uploadprogress.h"

#include <QFormLayout>
#include <QLabel>

namespace qova::store {

UploadProgressWindow::UploadProgressWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
{
    setObjectName(QStringLiteral("UploadProgress"));
    setWindowTitle(QStringLiteral("UPLOAD"));
    setWindowModality(Qt::ApplicationModal);
    auto *form = new QFormLayout(this);
    form->addRow(new QLabel(QStringLiteral("Reading the analyser's store...")));
    Accepted = new QLabel(this);
    Rejected = new QLabel(this);
    Received = new QLabel(this);
    form->addRow(QStringLiteral("Blocks accepted:"), Accepted);
    form->addRow(QStringLiteral("Blocks rejected:"), Rejected);
    form->addRow(QStringLiteral("Bytes received:"), Received);
    setProgress({});
    setMinimumWidth(260);
}

void UploadProgressWindow::setProgress(const UploadProgress &progress)
{
    Accepted->setText(QString::number(progress.accepted));
    Rejected->setText(QString::number(progress.rejected));
    Received->setText(QString::number(progress.bytes));
}

} // namespace qova::store
