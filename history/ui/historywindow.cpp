#include "history/ui/historywindow.h"

#include "history/testarchive.h"
#include "history/testlisting.h"
#include "history/testscsv.h"
#include "report/ui/printreport.h"
#include "ui/operator.h"
#include "ui/printing.h"
#include "ui/sharedstate.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>

namespace qova::history {

HistoryWindow::HistoryWindow(ui::SharedState &state, QWidget *parent) : QDialog(parent), state_(state)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("History"));
    resize(960, 560);

    auto *searchLabel = new QLabel(QStringLiteral("&Registration:"), this);
    search = new QLineEdit(this);
    search->setObjectName(QStringLiteral("historySearch"));
    search->setPlaceholderText(QStringLiteral("blank for the latest tests"));
    searchLabel->setBuddy(search);
    find = new QPushButton(QStringLiteral("&Find"), this);
    find->setObjectName(QStringLiteral("historyFind"));
    find->setDefault(true);

    const QStringList columns = ListedColumnNames();
    list = new QTableWidget(0, static_cast<int>(columns.size()), this);
    list->setObjectName(QStringLiteral("historyList"));
    list->setHorizontalHeaderLabels(columns);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    list->horizontalHeader()->setStretchLastSection(true);

    details = new QPlainTextEdit(this);
    details->setObjectName(QStringLiteral("historyDetails"));
    details->setReadOnly(true);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    details->setFont(mono);

    status = new QLabel(this);
    status->setObjectName(QStringLiteral("historyState"));
    status->setWordWrap(true);
    print = new QPushButton(QStringLiteral("&Print again"), this);
    print->setObjectName(QStringLiteral("historyPrint"));
    exportButton = new QPushButton(QStringLiteral("&Export CSV"), this);
    exportButton->setObjectName(QStringLiteral("historyExport"));
    close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("historyClose"));

    auto *top = new QHBoxLayout;
    top->addWidget(searchLabel);
    top->addWidget(search, 1);
    top->addWidget(find);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(status, 1);
    buttons->addWidget(print);
    buttons->addWidget(exportButton);
    buttons->addWidget(close);
    auto *layout = new QGridLayout(this);
    layout->addLayout(top, 0, 0, 1, 2);
    layout->addWidget(list, 1, 0);
    layout->addWidget(details, 1, 1);
    layout->setColumnStretch(0, 5);
    layout->setColumnStretch(1, 3);
    layout->addLayout(buttons, 2, 0, 1, 2);

    connect(find, &QPushButton::clicked, this, &HistoryWindow::refresh);
    connect(search, &QLineEdit::returnPressed, this, &HistoryWindow::refresh);
    connect(list, &QTableWidget::itemSelectionChanged, this, &HistoryWindow::showSelected);
    connect(print, &QPushButton::clicked, this, &HistoryWindow::printAgain);
    connect(exportButton, &QPushButton::clicked, this, &HistoryWindow::exportCsv);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void HistoryWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    refresh();
}

void HistoryWindow::refresh()
{
    showHistory(true);
}

void HistoryWindow::attemptEnded()
{
    if (isVisible())
        showHistory(false);
}

void HistoryWindow::showHistory(bool tryNow)
{
    if (!state_.history) {
        const TestArchive::Listing none = Problem{QStringLiteral("There is no history."), {}, {}};
        showListing(none, none.problem().text());
        return;
    }
    // Told when a server it waits for answers, but never asking again from there: a
    // server that is down would be asked over and over.
    connect(state_.history, &TestArchive::attemptEnded, this, &HistoryWindow::attemptEnded, Qt::UniqueConnection);
    // Opening the history is also a chance to save what waits.
    if (tryNow)
        state_.history->retry();
    status->setText(QStringLiteral("Looking in the history\u2026"));
    const int asked = ++searches_;
    state_.history->search(search->text(), kListed, this, [this, asked](const TestArchive::Listing &listing) {
        if (asked != searches_)
            return; // a newer search is under way
        const int waiting = state_.history->pendingCount();
        QString statusText;
        if (!listing.ok()) {
            statusText = listing.problem().text();
            if (!statusText.endsWith(u'.'))
                statusText += u'.';
            statusText += u' ';
        }
        statusText += waiting == 0 ? QStringLiteral("No tests waiting to be saved.")
                                   : QStringLiteral("%1 test(s) waiting to be saved.").arg(waiting);
        showListing(listing, statusText);
    });
}

void HistoryWindow::showListing(const TestArchive::Listing &listing, const QString &statusText)
{
    status->setText(statusText);
    // The tests listed before stay: an emptied list would read as "no test matched".
    if (!listing.ok())
        return;
    shown_ = listing.value();

    list->setRowCount(static_cast<int>(shown_.size()));
    for (int row = 0; row < list->rowCount(); ++row) {
        const TestEntry &e = shown_[static_cast<std::size_t>(row)];
        const QStringList cells = ListedCells(e);
        for (int column = 0; column < cells.size(); ++column)
            list->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    list->resizeColumnsToContents();
    list->resizeRowsToContents();
    if (!shown_.empty())
        list->selectRow(0);
    else
        details->setPlainText(QStringLiteral("No tests found."));
}

const TestEntry *HistoryWindow::selected() const
{
    const int row = list->currentRow();
    if (row < 0 || row >= static_cast<int>(shown_.size()))
        return nullptr;
    return &shown_[static_cast<std::size_t>(row)];
}

void HistoryWindow::showSelected()
{
    const TestEntry *e = selected();
    details->setPlainText(e ? DetailsText(*e) : QString());
}

QString HistoryWindow::DetailsText(const TestEntry &e)
{
    const Values &r = e.received;
    QStringList text = e.pageLines;
    text << QString() << QStringLiteral("Test %1 (%2), taken %3").arg(e.id).arg(e.kind, IsoTime(e.takenAt));
    if (!e.verdict.isNull())
        text << QStringLiteral("Verdict: %1").arg(e.verdict);
    text << QStringLiteral("As received: CO %1%, CO2 %2%, HC %3 ppm, O2 %4%, NOx %5, RPM %6, oil %7 \u00B0C, %8")
                .arg(FixedText(r.co, 2), FixedText(r.co2, 1))
                .arg(r.hc)
                .arg(FixedText(r.o2, 2))
                .arg(r.nox)
                .arg(r.rpm)
                .arg(FixedText(r.oilTemp, 1), EfficiencyText(e, r));
    return text.join(u'\n');
}

void HistoryWindow::printAgain()
{
    const TestEntry *e = selected();
    if (!e || !state_.printing)
        return;
    // A check's page is its certificate, printed again from the texts kept of it.
    const bool certificate = e->kind == kCheckKind && state_.printCertificate;
    std::unique_ptr<QPrinter> job =
        state_.printing->startJob(this, certificate ? QStringLiteral("Emissions check %1").arg(e->registration)
                                                    : QStringLiteral("Qova Analyzer"));
    if (!job)
        return;
    Done printed;
    if (certificate)
        printed = state_.printCertificate(*job, e->pageLines);
    else if (!report::PaintTestReport(*job, e->pageLines))
        printed = Problem{}; // the page's painter gives no reason
    if (!printed.ok()) {
        const QString where = job->outputFileName().isEmpty() ? job->printerName() : job->outputFileName();
        state_.op->message(this, QStringLiteral("QOVA"),
                           QStringLiteral("The report could not be printed on %1").arg(where), ui::Icon::Stop,
                           ui::Buttons::Ok, printed.problem().text());
    }
}

void HistoryWindow::exportCsv()
{
    if (!state_.history)
        return;
    ui::FileRequest request{
        QStringLiteral("Export tests"), {}, QStringLiteral("CSV files (*.csv)"), QStringLiteral("csv")};
    const QString path = state_.op->saveFileName(this, request);
    if (path.isEmpty())
        return;
    status->setText(QStringLiteral("Writing the tests to %1\u2026").arg(path));
    exportButton->setEnabled(false);
    state_.history->exportCsv(search->text(), path, this, [this, path](const TestArchive::Exported &done) {
        exportButton->setEnabled(true);
        if (!done.ok()) {
            status->clear();
            state_.op->message(this, QStringLiteral("QOVA"),
                               QStringLiteral("The tests could not be written to %1").arg(path), ui::Icon::Stop,
                               ui::Buttons::Ok, done.problem().text());
            return;
        }
        status->setText(QStringLiteral("%1 test(s) written to %2.").arg(done.value()).arg(path));
    });
}

} // namespace qova::history
