#include "emissionscheckwindow.h"

#include "analyserprompt.h"
#include "certificate.h"
#include "checksettings.h"
#include "operator.h"
#include "printing.h"
#include "rpmgauge.h"
#include "testarchive.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QShowEvent>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace qova::checkui {

namespace {

const QString kCaption = QStringLiteral("EMISSIONS CHECK");

// Once a second, so the 5 s rule has five readings to go on; prompts answered as on the
// digital display; "No response" after four failed frames in a row.
const link::LiveSession::Options kPolling{
    .periodMs = 1000, .firstCycleMs = 1000, .settleMs = 2, .prompts = true, .noResponseAfter = 3};

QFont sized(QFont f, int pixels, bool bold = true)
{
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QString markColour(GasMark mark)
{
    switch (mark) {
    case GasMark::Within:
        return QStringLiteral("background:#c8f0c8;color:#003000;");
    case GasMark::Outside:
        return QStringLiteral("background:#f8c8c8;color:#600000;");
    case GasMark::NoLimit:
        break;
    }
    return QStringLiteral("background:#eeeeee;color:#202020;");
}

// A number typed in a maker's figure: empty is "not given"; anything else must read.
bool readFigure(const QLineEdit *edit, std::optional<double> &out)
{
    const QString t = edit->text().trimmed();
    if (t.isEmpty())
        return true;
    bool ok = false;
    const double v = QLocale::c().toDouble(QString(t).replace(QLatin1Char(','), QLatin1Char('.')), &ok);
    if (ok)
        out = v;
    return ok;
}

QString labelText(const QLineEdit *edit)
{
    return edit->accessibleName();
}

} // namespace

EmissionsCheckWindow::EmissionsCheckWindow(ui::SharedState &state, QWidget *parent) : QDialog(parent), state_(state)
{
    setObjectName(QStringLiteral("EmissionsCheck"));
    setWindowTitle(kCaption);
    resize(960, 680);
    Pages = new QStackedWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    Pages->addWidget(buildVehiclePage());
    Pages->addWidget(buildLimitsPage());
    Pages->addWidget(buildCheckPage());
    Pages->addWidget(buildResultPage());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Pages);
    clock_ = new QTimer(this);
    clock_->setInterval(1000);
    connect(clock_, &QTimer::timeout, this, &EmissionsCheckWindow::tick);
}

EmissionsCheckWindow::~EmissionsCheckWindow()
{
    disconnectSession();
}

QWidget *EmissionsCheckWindow::buildVehiclePage()
{
    auto *page = new QWidget;
    auto *title = new QLabel(QStringLiteral("The vehicle"), page);
    title->setFont(sized(font(), 26));
    auto *form = new QFormLayout;
    const QFont big = sized(font(), 17, false);
    auto line = [&](QLineEdit *&edit, const char *name, const QString &caption) {
        edit = new QLineEdit(page);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setFont(big);
        edit->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
        auto *label = new QLabel(caption, page);
        label->setBuddy(edit);
        label->setFont(big);
        form->addRow(label, edit);
    };
    auto combo = [&](QComboBox *&box, const char *name, const QString &caption, const QStringList &items) {
        box = new QComboBox(page);
        box->setObjectName(QString::fromLatin1(name));
        box->setFont(big);
        box->addItems(items);
        auto *label = new QLabel(caption, page);
        label->setBuddy(box);
        label->setFont(big);
        form->addRow(label, box);
    };
    line(Registration, "Registration", QStringLiteral("&Registration"));
    LastResult = new QLabel(page);
    LastResult->setObjectName(QStringLiteral("LastResult"));
    LastResult->setFont(big);
    LastResult->setWordWrap(true);
    form->addRow(QString(), LastResult);
    line(Model, "Model", QStringLiteral("&Model"));
    combo(Scheme, "Scheme", QStringLiteral("Registered &in"), {QStringLiteral("UK"), QStringLiteral("EU")});
    combo(Type, "Type", QStringLiteral("T&ype"), {QStringLiteral("car"), QStringLiteral("light van")});
    FirstUsed = new QDateEdit(QDate(2005, 1, 1), page);
    FirstUsed->setObjectName(QStringLiteral("FirstUsed"));
    FirstUsed->setDisplayFormat(QStringLiteral("d MMMM yyyy"));
    FirstUsed->setCalendarPopup(true);
    FirstUsed->setFont(big);
    auto *firstLabel = new QLabel(QStringLiteral("&First used"), page);
    firstLabel->setBuddy(FirstUsed);
    firstLabel->setFont(big);
    form->addRow(firstLabel, FirstUsed);
    QStringList fuels;
    for (const link::FuelInfo &f : link::kFuels)
        fuels << QLatin1String(f.shownName);
    combo(FuelBox, "Fuel", QStringLiteral("F&uel"), fuels);
    Catalyst = new QCheckBox(QStringLiteral("C&atalyst fitted"), page);
    Catalyst->setObjectName(QStringLiteral("Catalyst"));
    Catalyst->setFont(big);
    Catalyst->setChecked(true);
    TwoStroke = new QCheckBox(QStringLiteral("T&wo-stroke engine"), page);
    TwoStroke->setObjectName(QStringLiteral("TwoStroke"));
    TwoStroke->setFont(big);
    form->addRow(QString(), Catalyst);
    form->addRow(QString(), TwoStroke);
    line(OperatorName, "OperatorName", QStringLiteral("&Operator"));

    NextButton = new QPushButton(QStringLiteral("&Next"), page);
    NextButton->setObjectName(QStringLiteral("NextButton"));
    NextButton->setFont(big);
    NextButton->setDefault(true);
    connect(NextButton, &QPushButton::clicked, this, &EmissionsCheckWindow::nextClick);
    connect(Registration, &QLineEdit::textChanged, this, &EmissionsCheckWindow::lookUpRegistration);
    // A server that answers only after the window opened still gets its say.
    if (state_.history)
        connect(state_.history, &history::TestArchive::attemptEnded, this, [this] {
            if (shown_ && this->page() == Page::Vehicle)
                lookUpRegistration();
        });

    auto *v = new QVBoxLayout(page);
    v->addWidget(title);
    v->addLayout(form);
    v->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(NextButton);
    v->addLayout(buttons);
    return page;
}

QWidget *EmissionsCheckWindow::buildLimitsPage()
{
    auto *page = new QWidget;
    const QFont big = sized(font(), 17, false);
    auto *title = new QLabel(QStringLiteral("The limits"), page);
    title->setFont(sized(font(), 26));
    Chosen = new QLabel(page);
    Chosen->setObjectName(QStringLiteral("Chosen"));
    Chosen->setFont(sized(font(), 19));
    Chosen->setWordWrap(true);
    RecordOnly = new QLabel(page);
    RecordOnly->setObjectName(QStringLiteral("RecordOnly"));
    RecordOnly->setFont(big);
    RecordOnly->setWordWrap(true);
    RecordOnly->setStyleSheet(QStringLiteral("color:#804000;"));
    LimitList = new QListWidget(page);
    LimitList->setObjectName(QStringLiteral("LimitList"));
    LimitList->setFont(sized(font(), 15, false));
    auto *listLabel = new QLabel(QStringLiteral("&Limit sets (another may be picked)"), page);
    listLabel->setBuddy(LimitList);
    listLabel->setFont(big);

    MakerForm = new QWidget(page);
    MakerForm->setObjectName(QStringLiteral("MakerForm"));
    auto *grid = new QGridLayout(MakerForm);
    MakerFastIdle = new QCheckBox(QStringLiteral("Fast idle &stage"), MakerForm);
    MakerFastIdle->setObjectName(QStringLiteral("MakerFastIdle"));
    MakerFastIdle->setChecked(true);
    auto edit = [&](QLineEdit *&e, const char *name, const QString &caption, const QString &value, int row,
                    int column) {
        e = new QLineEdit(value, MakerForm);
        e->setObjectName(QString::fromLatin1(name));
        e->setAccessibleName(caption);
        e->setMaximumWidth(110);
        grid->addWidget(new QLabel(caption, MakerForm), row, column * 2);
        grid->addWidget(e, row, column * 2 + 1);
    };
    grid->addWidget(MakerFastIdle, 0, 0, 1, 2);
    edit(MakerFastMin, "MakerFastMin", QStringLiteral("fast idle from rpm"), QStringLiteral("2500"), 1, 0);
    edit(MakerFastMax, "MakerFastMax", QStringLiteral("to rpm"), QStringLiteral("3000"), 1, 1);
    edit(MakerFastCo, "MakerFastCo", QStringLiteral("CO max %"), {}, 2, 0);
    edit(MakerFastHc, "MakerFastHc", QStringLiteral("HC max ppm"), {}, 2, 1);
    edit(MakerLambdaMin, "MakerLambdaMin", QStringLiteral("lambda from"), {}, 3, 0);
    edit(MakerLambdaMax, "MakerLambdaMax", QStringLiteral("lambda to"), {}, 3, 1);
    edit(MakerIdleMin, "MakerIdleMin", QStringLiteral("natural idle from rpm"), QStringLiteral("450"), 4, 0);
    edit(MakerIdleMax, "MakerIdleMax", QStringLiteral("to rpm"), QStringLiteral("1500"), 4, 1);
    edit(MakerIdleCo, "MakerIdleCo", QStringLiteral("CO max %"), {}, 5, 0);
    edit(MakerIdleHc, "MakerIdleHc", QStringLiteral("HC max ppm"), {}, 5, 1);
    MakerForm->setEnabled(false);
    LimitProblem = new QLabel(page);
    LimitProblem->setObjectName(QStringLiteral("LimitProblem"));
    LimitProblem->setFont(big);
    LimitProblem->setWordWrap(true);
    LimitProblem->setStyleSheet(QStringLiteral("color:#b00000;"));

    BackButton = new QPushButton(QStringLiteral("&Back"), page);
    BackButton->setObjectName(QStringLiteral("BackButton"));
    StartButton = new QPushButton(QStringLiteral("Start chec&k"), page);
    StartButton->setObjectName(QStringLiteral("StartButton"));
    for (QPushButton *b : {BackButton, StartButton})
        b->setFont(big);
    connect(BackButton, &QPushButton::clicked, this, &EmissionsCheckWindow::backClick);
    connect(StartButton, &QPushButton::clicked, this, &EmissionsCheckWindow::startClick);
    connect(LimitList, &QListWidget::currentRowChanged, this, &EmissionsCheckWindow::showPicked);
    for (QLineEdit *e : MakerForm->findChildren<QLineEdit *>())
        connect(e, &QLineEdit::textChanged, this, &EmissionsCheckWindow::showPicked);
    connect(MakerFastIdle, &QCheckBox::toggled, this, &EmissionsCheckWindow::showPicked);

    auto *v = new QVBoxLayout(page);
    v->addWidget(title);
    v->addWidget(Chosen);
    v->addWidget(RecordOnly);
    v->addWidget(listLabel);
    v->addWidget(LimitList, 1);
    v->addWidget(MakerForm);
    v->addWidget(LimitProblem);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BackButton);
    buttons->addStretch();
    buttons->addWidget(StartButton);
    v->addLayout(buttons);
    return page;
}

QWidget *EmissionsCheckWindow::buildCheckPage()
{
    auto *page = new QWidget;
    Step = new QLabel(page);
    Step->setObjectName(QStringLiteral("Step"));
    Step->setFont(sized(font(), 20, false));
    Instruction = new QLabel(page);
    Instruction->setObjectName(QStringLiteral("Instruction"));
    Instruction->setFont(sized(font(), 36));
    Instruction->setWordWrap(true);
    Instruction->setMinimumHeight(110);
    Detail = new QLabel(page);
    Detail->setObjectName(QStringLiteral("Detail"));
    Detail->setFont(sized(font(), 20, false));
    Detail->setWordWrap(true);
    Gauge = new RpmGauge(page);
    Steady = new QProgressBar(page);
    Steady->setObjectName(QStringLiteral("Steady"));
    Steady->setRange(0, 100);
    Steady->setFormat(QStringLiteral("steady %p %"));
    auto *gases = new QHBoxLayout;
    for (int i = 0; i < 5; ++i) {
        auto *l = new QLabel(page);
        l->setObjectName(QStringLiteral("Gas%1").arg(i));
        l->setFont(sized(font(), 22));
        l->setAlignment(Qt::AlignCenter);
        l->setMinimumHeight(80);
        GasLabels.push_back(l);
        gases->addWidget(l);
    }
    const QFont big = sized(font(), 17, false);
    PumpButton = new QPushButton(QStringLiteral("&Pump"), page);
    PumpButton->setObjectName(QStringLiteral("PumpButton"));
    CleanAirButton = new QPushButton(QStringLiteral("Clean air &HC"), page);
    CleanAirButton->setObjectName(QStringLiteral("CleanAirButton"));
    WarmButton = new QPushButton(QStringLiteral("&Engine warm"), page);
    WarmButton->setObjectName(QStringLiteral("WarmButton"));
    StopButton = new QPushButton(QStringLiteral("S&top"), page);
    StopButton->setObjectName(QStringLiteral("StopButton"));
    for (QPushButton *b : {PumpButton, CleanAirButton, WarmButton, StopButton})
        b->setFont(big);
    connect(CleanAirButton, &QPushButton::clicked, this, &EmissionsCheckWindow::cleanAirClick);
    connect(PumpButton, &QPushButton::clicked, this, &EmissionsCheckWindow::pumpClick);
    connect(WarmButton, &QPushButton::clicked, this, &EmissionsCheckWindow::warmClick);
    connect(StopButton, &QPushButton::clicked, this, &EmissionsCheckWindow::stopClick);

    auto *v = new QVBoxLayout(page);
    v->addWidget(Step);
    v->addWidget(Instruction);
    v->addWidget(Detail);
    v->addWidget(Gauge);
    v->addWidget(Steady);
    v->addLayout(gases);
    v->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(PumpButton);
    buttons->addWidget(CleanAirButton);
    buttons->addWidget(WarmButton);
    buttons->addStretch();
    buttons->addWidget(StopButton);
    v->addLayout(buttons);
    return page;
}

QWidget *EmissionsCheckWindow::buildResultPage()
{
    auto *page = new QWidget;
    Overall = new QLabel(page);
    Overall->setObjectName(QStringLiteral("Overall"));
    Overall->setFont(sized(font(), 64));
    Overall->setAlignment(Qt::AlignCenter);
    Results = new QTableWidget(0, 6, page);
    Results->setObjectName(QStringLiteral("Results"));
    Results->setHorizontalHeaderLabels({QStringLiteral("Stage"), QStringLiteral("Gas"), QStringLiteral("Mean"),
                                        QStringLiteral("Worst"), QStringLiteral("Limit"), QStringLiteral("Result")});
    Results->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    Results->verticalHeader()->hide();
    Results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Results->setFont(sized(font(), 15, false));
    ResultNotes = new QLabel(page);
    ResultNotes->setObjectName(QStringLiteral("ResultNotes"));
    ResultNotes->setWordWrap(true);
    ResultNotes->setFont(sized(font(), 15, false));
    SaveStatus = new QLabel(page);
    SaveStatus->setObjectName(QStringLiteral("SaveStatus"));
    SaveStatus->setWordWrap(true);
    SaveStatus->setFont(sized(font(), 15, false));
    PrintButton = new QPushButton(QStringLiteral("Print &certificate"), page);
    PrintButton->setObjectName(QStringLiteral("PrintButton"));
    CloseButton = new QPushButton(QStringLiteral("&Done"), page);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    for (QPushButton *b : {PrintButton, CloseButton})
        b->setFont(sized(font(), 17, false));
    connect(PrintButton, &QPushButton::clicked, this, &EmissionsCheckWindow::printClick);
    connect(CloseButton, &QPushButton::clicked, this, &EmissionsCheckWindow::closeClick);
    auto *v = new QVBoxLayout(page);
    v->addWidget(Overall);
    v->addWidget(Results, 1);
    v->addWidget(ResultNotes);
    v->addWidget(SaveStatus);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(PrintButton);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    v->addLayout(buttons);
    return page;
}

void EmissionsCheckWindow::setLimitLibrary(check::LimitLibrary library)
{
    givenLibrary_ = std::move(library);
}

EmissionsCheckWindow::Page EmissionsCheckWindow::page() const
{
    return static_cast<Page>(Pages->currentIndex());
}

void EmissionsCheckWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void EmissionsCheckWindow::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous())
        FormClose();
    QDialog::hideEvent(event);
}

void EmissionsCheckWindow::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void EmissionsCheckWindow::FormShow()
{
    if (shown_)
        return;
    shown_ = true;
    library_ = givenLibrary_ ? *givenLibrary_ : check::LoadLimitLibrary(check::WorkshopLimitFilePath());
    readSettings();
    check_.reset();
    record_.reset();
    last_.reset();
    Pages->setCurrentIndex(int(Page::Vehicle));
    Registration->setFocus();
    if (state_.history && !state_.history->reachable())
        state_.history->prepare();
    lookUpRegistration();
    // The analyser warms up while the vehicle is typed in.
    const QString problem = takeSession();
    if (!problem.isEmpty())
        state_.op->message(this, kCaption,
                           QStringLiteral("The analyser could not be reached: the check cannot take readings."),
                           ui::Icon::Warning, ui::Buttons::Ok, problem);
}

QString EmissionsCheckWindow::takeSession()
{
    if (!sessionLinks_.empty())
        return {};
    connectSession();
    link::LiveSession &session = state_.session;
    if (session.isActive()) {
        oldPeriod_ = session.period();
        session.setPeriod(kPolling.periodMs);
        startedSession_ = false;
        return {};
    }
    if (session.start(kPolling)) {
        startedSession_ = true;
        return {};
    }
    disconnectSession();
    const link::PortState &port = state_.port;
    const QString device = port.lastDevice.isEmpty() ? QStringLiteral("COM%1").arg(port.PortNumber) : port.lastDevice;
    return QStringLiteral("%1: %2").arg(
        device, port.lastError.isEmpty() ? QStringLiteral("the port could not be set up") : port.lastError);
}

void EmissionsCheckWindow::readSettings()
{
    const QSettings store = check::CheckSettingsStore();
    settings::ValidatedSettings read(store);
    settings_ = check::ReadCheckSettings(read);
    OperatorName->setText(check::ReadOperatorName(read));
    const QStringList notices = settings::NoticesNotYetGiven(read.messages());
    if (!notices.isEmpty())
        state_.op->message(this, kCaption, QStringLiteral("Some of the check's settings were ignored."),
                           ui::Icon::Warning, ui::Buttons::Ok,
                           notices.join(QLatin1Char('\n')) +
                               QStringLiteral("\nCorrect or remove them there; until then the defaults are used."));
}

void EmissionsCheckWindow::FormClose()
{
    if (!shown_)
        return;
    shown_ = false;
    clock_->stop();
    disconnectSession();
    if (startedSession_)
        state_.session.stop();
    else if (oldPeriod_ > 0)
        state_.session.setPeriod(oldPeriod_);
    startedSession_ = false;
    oldPeriod_ = 0;
}

void EmissionsCheckWindow::connectSession()
{
    link::LiveSession *s = &state_.session;
    sessionLinks_ = {
        connect(s, &link::LiveSession::validFrame, this,
                [this](const link::LiveReading &r) { take(std::optional(r)); }),
        connect(s, &link::LiveSession::invalidFrame, this, [this] { take(std::nullopt); }),
        connect(s, &link::LiveSession::promptRaised, this,
                [this](const link::Prompt &p) { ui::AskAnalyserPrompt(*state_.op, this, state_.session, p); }),
        connect(s, &link::LiveSession::noResponse, this,
                [this] {
                    state_.op->message(this, kCaption, QStringLiteral("No response from the analyser"),
                                       ui::Icon::Warning, ui::Buttons::Ok,
                                       QStringLiteral("Check the cable and that the analyser is switched on; the "
                                                      "check goes on when readings come again."));
                }),
    };
}

void EmissionsCheckWindow::disconnectSession()
{
    for (const QMetaObject::Connection &c : sessionLinks_)
        disconnect(c);
    sessionLinks_.clear();
}

void EmissionsCheckWindow::lookUpRegistration()
{
    // Only a database already open, and never waited for: typing must never wait on a server.
    const QString reg = Registration->text().trimmed();
    if (!state_.history || reg.isEmpty()) {
        LastResult->clear();
        return;
    }
    state_.history->lookUpLast(reg, this, [this](const history::TestArchive::LastResult &found) {
        if (page() == Page::Vehicle)
            showLastTest(found.test);
    });
}

void EmissionsCheckWindow::showLastTest(const std::optional<history::TestEntry> &last)
{
    if (!last) {
        LastResult->clear();
        return;
    }
    if (!last->vehicle.isEmpty())
        Model->setText(last->vehicle);
    const check::Fuel fuel = check::FuelFromCode(static_cast<std::uint8_t>(last->fuelCode));
    for (int i = 0; i < static_cast<int>(std::size(link::kFuels)); ++i)
        if (link::kFuels[i].fuel == fuel)
            FuelBox->setCurrentIndex(i);
    const QString what = last->kind == history::kCheckKind
                             ? QStringLiteral("emissions check, %1")
                                   .arg(last->verdict.isEmpty() ? QStringLiteral("no verdict") : last->verdict)
                             : QStringLiteral("report, CO %1 %, HC %2 ppm")
                                   .arg(last->printed.co / 100.0, 0, 'f', 2)
                                   .arg(last->printed.hc);
    LastResult->setText(
        QStringLiteral("Last test %1: %2").arg(last->takenAt.toString(QStringLiteral("yyyy-MM-dd hh:mm")), what));
}

check::Vehicle EmissionsCheckWindow::vehicle() const
{
    check::Vehicle v;
    v.registration = Registration->text().trimmed().toUpper();
    v.scheme = Scheme->currentText();
    v.type = Type->currentText();
    v.firstUsed = FirstUsed->date();
    v.fuel = link::kFuels[std::clamp(FuelBox->currentIndex(), 0, static_cast<int>(std::size(link::kFuels)) - 1)].fuel;
    v.catalyst = Catalyst->isChecked();
    v.twoStroke = TwoStroke->isChecked();
    return v;
}

void EmissionsCheckWindow::nextClick()
{
    if (Registration->text().trimmed().isEmpty()) {
        state_.op->message(this, kCaption, QStringLiteral("Type the vehicle's registration first."),
                           ui::Icon::Information, ui::Buttons::Ok);
        Registration->setFocus();
        return;
    }
    check::CheckSettingsStore().setValue(QStringLiteral("operator"), OperatorName->text().trimmed());
    chooseLimits();
    Pages->setCurrentIndex(int(Page::Limits));
    LimitList->setFocus();
}

void EmissionsCheckWindow::backClick()
{
    Pages->setCurrentIndex(int(Page::Vehicle));
    Registration->setFocus();
}

void EmissionsCheckWindow::chooseLimits()
{
    choice_ = check::ChooseLimitSet(library_.sets, vehicle());
    LimitList->blockSignals(true);
    LimitList->clear();
    int chosenRow = -1;
    for (const check::LimitSet &s : library_.sets) {
        if (choice_.set && s.id == choice_.set->id)
            chosenRow = LimitList->count();
        LimitList->addItem(
            QStringLiteral("%1 (%2 %3)").arg(s.name, s.scheme, s.vehicleTypes.join(QStringLiteral("/"))));
        LimitList->item(LimitList->count() - 1)->setToolTip(s.source);
    }
    LimitList->addItem(QStringLiteral("The vehicle maker's own figures (type them below)"));
    LimitList->blockSignals(false);
    Chosen->setText(
        choice_.set ? QStringLiteral("%1\n%2\nSource: %3").arg(choice_.set->name, choice_.reason, choice_.set->source)
                    : QStringLiteral("No limit set fits: %1").arg(choice_.reason));
    LimitList->setCurrentRow(chosenRow >= 0 ? chosenRow : LimitList->count() - 1);
    showPicked();
}

std::optional<check::LimitSet> EmissionsCheckWindow::pickedLimits(QString *error) const
{
    const int row = LimitList->currentRow();
    if (row >= 0 && row < static_cast<int>(library_.sets.size()))
        return library_.sets[static_cast<std::size_t>(row)];
    check::MakerFigures f;
    f.fastIdle = MakerFastIdle->isChecked();
    QString bad;
    auto number = [&](const QLineEdit *e, std::optional<double> &out) {
        if (!readFigure(e, out) && bad.isEmpty())
            bad = QStringLiteral("%1: \"%2\" is not a number").arg(labelText(e), e->text());
    };
    auto whole = [&](const QLineEdit *e, int &out) {
        std::optional<double> v;
        number(e, v);
        if (v)
            out = static_cast<int>(std::lround(*v));
    };
    auto wholeOpt = [&](const QLineEdit *e, std::optional<int> &out) {
        std::optional<double> v;
        number(e, v);
        if (v)
            out = static_cast<int>(std::lround(*v));
    };
    whole(MakerFastMin, f.fastMinRpm);
    whole(MakerFastMax, f.fastMaxRpm);
    number(MakerFastCo, f.fastCoPercent);
    wholeOpt(MakerFastHc, f.fastHcPpm);
    number(MakerLambdaMin, f.fastLambdaMin);
    number(MakerLambdaMax, f.fastLambdaMax);
    whole(MakerIdleMin, f.idleMinRpm);
    whole(MakerIdleMax, f.idleMaxRpm);
    number(MakerIdleCo, f.idleCoPercent);
    wholeOpt(MakerIdleHc, f.idleHcPpm);
    if (!bad.isEmpty()) {
        if (error)
            *error = bad;
        return std::nullopt;
    }
    check::MakerSet made = check::MakerLimitSet(f);
    if (!made.set && error)
        *error = made.error;
    return made.set;
}

void EmissionsCheckWindow::showPicked()
{
    const bool maker = LimitList->currentRow() == LimitList->count() - 1;
    MakerForm->setEnabled(maker);
    QString error;
    const std::optional<check::LimitSet> set = pickedLimits(&error);
    LimitProblem->setText(!set ? error : library_.workshopError);
    RecordOnly->setText(set && !set->metered
                            ? QStringLiteral("No metered test applies to this vehicle: the readings will be recorded "
                                             "only, with no pass or fail.")
                            : QString());
    StartButton->setEnabled(true);
}

void EmissionsCheckWindow::startClick()
{
    QString error;
    std::optional<check::LimitSet> set = pickedLimits(&error);
    if (!set) {
        state_.op->message(this, kCaption, QStringLiteral("The check cannot start: %1").arg(error), ui::Icon::Warning,
                           ui::Buttons::Ok);
        return;
    }
    // With no analyser the check could only wait for ever; it is tried once more here.
    const QString unreachable = takeSession();
    if (!unreachable.isEmpty()) {
        state_.op->message(this, kCaption, QStringLiteral("The check cannot start: the analyser is not connected."),
                           ui::Icon::Warning, ui::Buttons::Ok,
                           unreachable + QStringLiteral("\nConnect the analyser (FILE > COMM chooses the port) and "
                                                        "press Start check again."));
        return;
    }
    check::CheckRecord r;
    r.vehicle = vehicle();
    r.model = Model->text().trimmed();
    const bool maker = LimitList->currentRow() == LimitList->count() - 1;
    const bool chosen = !maker && choice_.set && choice_.set->id == set->id;
    r.origin = maker    ? check::LimitOrigin::MakersFigures
               : chosen ? check::LimitOrigin::Chosen
                        : check::LimitOrigin::PickedByOperator;
    r.limitReason = maker    ? QStringLiteral("the vehicle maker's own figures, typed in by the operator")
                    : chosen ? choice_.reason
                             : QStringLiteral("picked by the operator in place of %1")
                                   .arg(choice_.set ? choice_.set->name : QStringLiteral("no set"));
    r.limits = *set;
    r.settings = settings_;
    r.operatorName = OperatorName->text().trimmed();
    r.companyHeader = state_.CompanyHeader;
    startedAt_ = state_.now();
    r.startedAt = startedAt_;
    record_ = r;
    check_ = std::make_unique<check::EmissionsCheck>(*set, r.vehicle.fuel, settings_);
    Pages->setCurrentIndex(int(Page::Check));
    StopButton->setFocus();
    clock_->start();
    refresh();
    if (check_->finished())
        finish(false);
}

std::int64_t EmissionsCheckWindow::checkMs() const
{
    return startedAt_.msecsTo(state_.now());
}

void EmissionsCheckWindow::take(const std::optional<link::LiveReading> &frame)
{
    if (frame)
        last_ = frame;
    if (!check_ || check_->finished() || page() != Page::Check)
        return;
    if (frame && record_) {
        record_->afrShown = (frame->ModeFlags & link::AfrMode) != 0;
        record_->fuelCode = frame->FuelCode;
    }
    check_->feed(checkMs(), frame);
    refresh();
    if (check_->finished())
        finish(false);
}

void EmissionsCheckWindow::tick()
{
    if (!check_ || check_->finished() || page() != Page::Check)
        return;
    // Frames that stop coming must not keep the check waiting: its time-outs run on.
    check_->tick(checkMs());
    refresh();
    if (check_->finished())
        finish(false);
}

void EmissionsCheckWindow::refresh()
{
    if (!check_)
        return;
    screen_ = ScreenOf(*check_, checkMs(), last_);
    Step->setText(screen_.step);
    Instruction->setText(screen_.instruction);
    Detail->setText(screen_.detail);
    Gauge->setVisible(screen_.showGauge);
    Gauge->setSpeed(screen_.rpm, screen_.windowMinRpm, screen_.windowMaxRpm);
    Steady->setVisible(check_->state().phase == check::CheckPhase::Measuring);
    Steady->setValue(screen_.steadyPercent);
    for (std::size_t i = 0; i < GasLabels.size() && i < screen_.gases.size(); ++i) {
        GasLabels[i]->setText(QStringLiteral("%1\n%2").arg(screen_.gases[i].name, screen_.gases[i].value));
        GasLabels[i]->setStyleSheet(markColour(screen_.gases[i].mark) + QStringLiteral("border-radius:6px;"));
    }
    PumpButton->setStyleSheet(screen_.offerPump ? QStringLiteral("font-weight:bold;background:#ffe080;") : QString());
    CleanAirButton->setStyleSheet(screen_.askCleanAir ? QStringLiteral("font-weight:bold;background:#ffe080;")
                                                      : QString());
    WarmButton->setStyleSheet(screen_.askWarmConfirmation ? QStringLiteral("font-weight:bold;background:#ffe080;")
                                                          : QString());
    if (screen_.offerPump)
        PumpButton->setFocus();
    else if (screen_.askCleanAir)
        CleanAirButton->setFocus();
    else if (screen_.askWarmConfirmation)
        WarmButton->setFocus();
}

void EmissionsCheckWindow::pumpClick()
{
    state_.session.send(link::kPumpCommand);
    state_.session.skipNextTick();
}

void EmissionsCheckWindow::cleanAirClick()
{
    if (!check_ || check_->state().phase != check::CheckPhase::WaitingForCleanAir)
        return;
    check_->confirmCleanAir();
    refresh();
}

void EmissionsCheckWindow::warmClick()
{
    // With an oil probe the probe decides; the operator's word counts only without one.
    if (!check_ || check_->state().phase != check::CheckPhase::WaitingForWarmConfirmation)
        return;
    check_->confirmEngineWarm();
    refresh();
}

void EmissionsCheckWindow::stopClick()
{
    if (!check_ || check_->finished()) {
        done(QDialog::Rejected);
        return;
    }
    state_.session.hold();
    const ui::Answer a = state_.op->message(this, kCaption,
                                            QStringLiteral("Stop the check? It is kept in the history as "
                                                           "abandoned, with no verdict."),
                                            ui::Icon::Question, ui::Buttons::YesNo);
    state_.session.resume();
    if (a == ui::Answer::Yes)
        finish(true);
}

void EmissionsCheckWindow::reject()
{
    if (page() == Page::Check && check_ && !check_->finished()) {
        stopClick();
        return;
    }
    QDialog::reject();
}

void EmissionsCheckWindow::closeClick()
{
    done(QDialog::Accepted);
}

void EmissionsCheckWindow::finish(bool abandoned)
{
    clock_->stop();
    record_->state = check_->state();
    record_->abandoned = abandoned;
    record_->finishedAt = state_.now();
    saveToHistory();
    showResult();
    Pages->setCurrentIndex(int(Page::Result));
    PrintButton->setFocus();
}

void EmissionsCheckWindow::showResult()
{
    const check::CheckRecord &r = *record_;
    const QString overall = OverallText(r.state.overall, r.abandoned);
    Overall->setText(overall);
    const bool pass = overall == QLatin1String("PASS");
    const bool fail = overall == QLatin1String("FAIL");
    Overall->setStyleSheet(pass   ? QStringLiteral("color:#006000;")
                           : fail ? QStringLiteral("color:#b00000;")
                                  : QStringLiteral("color:#604000;"));
    const std::vector<ResultRow> rows = ResultRows(r.limits, r.vehicle.fuel, r.state);
    Results->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const ResultRow &row = rows[static_cast<std::size_t>(i)];
        const QString cells[] = {row.stage, row.gas, row.mean, row.worst, row.limit, row.verdict};
        for (int c = 0; c < 6; ++c)
            Results->setItem(i, c, new QTableWidgetItem(cells[c]));
    }
    QStringList notes;
    const QString vehicle =
        r.model.isEmpty() ? r.vehicle.registration : QStringLiteral("%1, %2").arg(r.vehicle.registration, r.model);
    notes << QStringLiteral("%1 — %2").arg(vehicle, r.limits.name);
    for (const check::StageResult &s : r.state.stages)
        notes << QStringLiteral("%1: %2").arg(check::StageName(s.kind), s.reason);
    if (r.state.residualHc)
        notes << QStringLiteral("Residual HC %1 ppm taken off every HC reading.").arg(*r.state.residualHc);
    if (r.state.warmConfirmedByOperator)
        notes << QStringLiteral("Engine temperature: confirmed by the operator (no oil probe).");
    else if (r.state.warmOilTenths)
        notes << QStringLiteral("Oil temperature %1 °C.").arg(*r.state.warmOilTenths / 10.0, 0, 'f', 1);
    ResultNotes->setText(notes.join(QLatin1Char('\n')));
}

void EmissionsCheckWindow::saveToHistory()
{
    if (state_.history == nullptr) {
        SaveStatus->setText(QStringLiteral("No history is kept on this workstation."));
        return;
    }
    SaveStatus->setText(QStringLiteral("Saving to the history\u2026"));
    state_.history->save(check::CheckEntry(*record_, check::CertificateLines(*record_)), this,
                         [this](const history::TestArchive::Outcome &saved) {
                             if (saved.saved) {
                                 SaveStatus->setText(QStringLiteral("Saved to the history."));
                                 return;
                             }
                             SaveStatus->setText(QStringLiteral("Not yet in the history: %1").arg(saved.problem));
                             state_.op->message(this, kCaption, saved.problem, ui::Icon::Warning, ui::Buttons::Ok);
                         });
}

void EmissionsCheckWindow::printClick()
{
    if (!record_ || state_.printing == nullptr)
        return;
    const std::unique_ptr<QPrinter> printer =
        state_.printing->startJob(this, QStringLiteral("Emissions check %1").arg(record_->vehicle.registration));
    if (!printer)
        return;
    QPainter painter;
    if (!painter.begin(printer.get())) {
        state_.op->message(this, kCaption, QStringLiteral("The certificate could not be printed."), ui::Icon::Warning,
                           ui::Buttons::Ok, QStringLiteral("The printer would not start the page."));
        return;
    }
    const QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
    check::PaintCertificate(painter, QRectF(QPointF(0, 0), page.size().toSizeF()), *record_);
    painter.end();
}

} // namespace qova::checkui
