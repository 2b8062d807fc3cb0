#include "history/ui/historydialog.h"

#include "history/historydatabase.h"
#include "ui/operator.h"
#include "ui/sharedstate.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <memory>

namespace qova::app {

HistorySettingsDialog::HistorySettingsDialog(ui::SharedState &state, Store store, QWidget *parent, Place place)
    : QDialog(parent), state_(state), store_(std::move(store)), place_(std::move(place))
{
    setObjectName(QStringLiteral("HistorySettingsDialog"));
    setWindowTitle(QStringLiteral("History database"));
    resize(560, 260);
    url = new QLineEdit(this);
    url->setObjectName(QStringLiteral("historyUrl"));
    url->setPlaceholderText(history::DefaultDatabaseUrl());
    password = new QLineEdit(this);
    password->setObjectName(QStringLiteral("historyPassword"));
    password->setEchoMode(QLineEdit::Password);
    password->setPlaceholderText(QStringLiteral("from ~/.pgpass when blank"));
    // Never shown, nor handed to another program by the clipboard or a screen reader.
    password->setAttribute(Qt::WA_InputMethodEnabled, false);
    passwordPlace = new QLabel(this);
    passwordPlace->setObjectName(QStringLiteral("historyPasswordPlace"));
    passwordPlace->setWordWrap(true);
    auto *hint = new QLabel(QStringLiteral("sqlite:///path/to/history.db, or postgresql://user@host:5432/dbname for "
                                           "one history shared by every bay. Blank: this workstation's own."),
                            this);
    hint->setWordWrap(true);
    auto *sqliteOnly = new QLabel(history::SqliteOnlyNote(), this);
    sqliteOnly->setObjectName(QStringLiteral("historySqliteOnly"));
    sqliteOnly->setWordWrap(true);
    sqliteOnly->setVisible(!sqliteOnly->text().isEmpty());
    overridden = new QLabel(this);
    overridden->setObjectName(QStringLiteral("historyOverridden"));
    overridden->setWordWrap(true);
    result = new QLabel(this);
    result->setObjectName(QStringLiteral("historyResult"));
    result->setWordWrap(true);
    test = new QPushButton(QStringLiteral("&Test connection"), this);
    test->setObjectName(QStringLiteral("historyTest"));
    ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("historyOk"));
    ok->setDefault(true);
    cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("historyCancel"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Location:"), url);
    form->addRow(QStringLiteral("&Password:"), password);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(test);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(sqliteOnly);
    layout->addWidget(passwordPlace);
    layout->addWidget(overridden);
    layout->addWidget(result, 1);
    layout->addLayout(buttons);

    connect(test, &QPushButton::clicked, this, &HistorySettingsDialog::testConnection);
    connect(ok, &QPushButton::clicked, this, &HistorySettingsDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void HistorySettingsDialog::open(const HistorySettings &settings)
{
    url->setText(settings.url);
    password->setText(settings.password);
    passwordPlace->setText(place_());
    result->clear();
    const QString fromEnvironment = qEnvironmentVariable("QOVA_DATABASE").trimmed();
    overridden->setText(fromEnvironment.isEmpty()
                            ? QString()
                            : QStringLiteral("QOVA_DATABASE is set, so this run uses %1 whatever is chosen here.")
                                  .arg(history::ParseDatabaseUrl(fromEnvironment).shown));
    exec();
}

HistorySettingsDialog::~HistorySettingsDialog()
{
    if (trial_) {
        trial_->wait();
        delete trial_;
    }
}

void HistorySettingsDialog::startTrial(const std::function<void(bool answered, const QString &answer)> &done)
{
    const QString where = url->text().trimmed().isEmpty() ? history::DefaultDatabaseUrl() : url->text().trimmed();
    history::HistoryDatabase::Options options;
    options.password = password->text();
    auto answer = std::make_shared<QString>();
    auto answered = std::make_shared<bool>(false);
    // A connection of the thread's own: Qt SQL connections belong to the thread that made them.
    trial_ = QThread::create([where, options, answer, answered] {
        history::HistoryDatabase db;
        if (const history::Done opened = db.open(where, options); !opened.ok()) {
            *answer = opened.problem().text() + u'.';
            return;
        }
        // One that opens but cannot be read is no more use than one that does not answer.
        const history::Result<qint64> tests = db.count({});
        if (!tests.ok()) {
            *answer = tests.problem().text();
            return;
        }
        *answered = true;
        *answer = QStringLiteral("Connected to %1: %2 test(s) in the history.").arg(db.location().shown).arg(*tests);
    });
    connect(trial_, &QThread::finished, this, [this, answer, answered, done] {
        trial_->wait();
        delete trial_;
        trial_ = nullptr;
        test->setEnabled(true);
        ok->setEnabled(true);
        result->setText(*answer);
        done(*answered, *answer);
    });
    test->setEnabled(false);
    ok->setEnabled(false);
    result->setText(QStringLiteral("Testing %1...").arg(history::ParseDatabaseUrl(where).shown));
    trial_->start();
}

void HistorySettingsDialog::testConnection()
{
    if (!trial_)
        startTrial([](bool, const QString &) {});
}

void HistorySettingsDialog::accept()
{
    if (trial_)
        return;
    const HistorySettings chosen = WithoutPasswordInUrl({url->text().trimmed(), password->text()});
    const history::DatabaseLocation where =
        history::ParseDatabaseUrl(chosen.url.isEmpty() ? history::DefaultDatabaseUrl() : chosen.url);
    if (where.kind == history::DatabaseLocation::Kind::Invalid) {
        result->setText(QStringLiteral("\"%1\" cannot be used: %2.").arg(where.shown, where.problem));
        return;
    }
    // The password typed into the URL moves into its own, masked, box.
    url->setText(chosen.url);
    password->setText(chosen.password);
    startTrial([this, chosen, where](bool answered, const QString &answer) {
        if (!answered &&
            state_.op->message(this, QStringLiteral("QOVA"),
                               QStringLiteral("%1\n\nKeep %2 as the history all the same? Tests are kept waiting "
                                              "until it answers.")
                                   .arg(answer, where.shown),
                               ui::Icon::Question, ui::Buttons::YesNo) != ui::Answer::Yes)
            return;
        keep(chosen);
    });
}

void HistorySettingsDialog::keep(const HistorySettings &chosen)
{
    if (const qova::Done kept = store_(chosen); !kept.ok()) {
        state_.op->message(this, QStringLiteral("QOVA"),
                           QStringLiteral("The history settings could not be saved; they hold for this run only.\n%1")
                               .arg(kept.problem().text()),
                           ui::Icon::Warning, ui::Buttons::Ok);
    }
    if (state_.history) {
        const history::TestArchive::Settings now = ArchiveSettings(chosen);
        state_.history->setDatabase(now.url, now.password);
        // Opened now (a server in the background), so the vehicle dialog has it at once.
        state_.history->prepare();
    }
    QDialog::accept();
}

} // namespace qova::app
