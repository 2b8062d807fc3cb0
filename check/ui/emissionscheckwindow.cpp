#include "check/ui/emissionscheckwindow.h"

#include "check/certificate.h"
#include "check/checksettings.h"
#include "check/ui/rpmgauge.h"
#include "check/vincheck.h"
#include "history/testarchive.h"
#include "obd/obddecode.h"
#include "obd/obdlink.h"
#include "ui/analyserprompt.h"
#include "ui/commfailure.h"
#include "ui/operator.h"
#include "ui/printing.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QSettings>
#include <QShowEvent>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidgetAction>

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

// A text of the check's pages, named as the tests and the screen reader find it, wrapped
// unless it is one short line.
// The OBD panel's captions, and the readiness line's, which shares its label with the monitors.
constexpr int kObdCaptionPixels = 15;

QLabel *pageText(QWidget *page, const char *name, const QFont &font, bool wrap = true)
{
    auto *label = new QLabel(page);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->setWordWrap(wrap);
    return label;
}

QPushButton *pageButton(QWidget *page, const char *name, const QString &text)
{
    auto *button = new QPushButton(text, page);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

struct MarkColour {
    GasMark mark;
    const char *style;
};
// The first is also what an unknown mark shows.
constexpr MarkColour kMarkColours[] = {{GasMark::NoLimit, "background:#eeeeee;color:#202020;"},
                                       {GasMark::Within, "background:#c8f0c8;color:#003000;"},
                                       {GasMark::Outside, "background:#f8c8c8;color:#600000;"}};

QString markColour(GasMark mark)
{
    for (const MarkColour &c : kMarkColours)
        if (c.mark == mark)
            return QString::fromLatin1(c.style);
    return QString::fromLatin1(kMarkColours[0].style);
}

QString toneColour(check::Tone tone)
{
    return tone == check::Tone::Pass   ? QStringLiteral("color:#006000;")
           : tone == check::Tone::Fail ? QStringLiteral("color:#b00000;")
                                       : QStringLiteral("color:#604000;");
}

const QString kAsked = QStringLiteral("font-weight:bold;background:#ffe080;");

} // namespace

EmissionsCheckWindow::EmissionsCheckWindow(ui::SharedState &state, QWidget *parent) : QDialog(parent), state_(state)
{
    setObjectName(QStringLiteral("EmissionsCheck"));
    setWindowTitle(kCaption);
    // Read from the driver's seat: the whole screen, the check page's letters scaled to it.
    setWindowState(Qt::WindowMaximized);
    pages_ = new QStackedWidget(this);
    pages_->setObjectName(QStringLiteral("Pages"));
    pages_->addWidget(buildVehiclePage());
    pages_->addWidget(buildLimitsPage());
    pages_->addWidget(buildCheckPage());
    pages_->addWidget(buildResultPage());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    listenToSession();
    clock_ = new QTimer(this);
    clock_->setInterval(1000);
    connect(clock_, &QTimer::timeout, this, [this] {
        if (run_)
            run_->tick();
    });
}

EmissionsCheckWindow::~EmissionsCheckWindow()
{
    session_.giveBack();
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
    line(registration_, "Registration", QStringLiteral("&Registration"));
    lastResult_ = pageText(page, "LastResult", big);
    form->addRow(QString(), lastResult_);
    line(model_, "Model", QStringLiteral("&Model"));
    // The VIN: typed, or read from the car with the button beside it.
    vin_ = new QLineEdit(page);
    vin_->setObjectName(QStringLiteral("Vin"));
    vin_->setFont(big);
    vin_->setAccessibleName(QStringLiteral("VIN"));
    vin_->setMaxLength(40);
    vin_->setPlaceholderText(QStringLiteral("17 characters, or read from the car"));
    readVin_ = pageButton(page, "ReadVinButton", QStringLiteral("Read &VIN from the car"));
    readVin_->setFont(big);
    readVin_->setToolTip(QStringLiteral("Take the VIN from the car's OBD adapter (FILE > COMM)"));
    auto *vinRow = new QHBoxLayout;
    vinRow->addWidget(vin_, 1);
    vinRow->addWidget(readVin_);
    // Alt+V is the button's: the field is next to it in the tab order.
    auto *vinLabel = new QLabel(QStringLiteral("VIN"), page);
    vinLabel->setBuddy(vin_);
    vinLabel->setFont(big);
    form->addRow(vinLabel, vinRow);
    vinNote_ = pageText(page, "VinNote", big);
    form->addRow(QString(), vinNote_);
    vinPatience_ = new QTimer(this);
    vinPatience_->setSingleShot(true);
    // The session asks for the VIN once it has found the car: a protocol search and a
    // multi-frame answer take seconds, a car without 09 02 never answers it.
    vinPatience_->setInterval(30000);
    connect(vinPatience_, &QTimer::timeout, this, [this] {
        stopWaitingForVin(QStringLiteral("The car has not given its VIN: it may not report one. Type it from the "
                                         "plate on the car."));
    });
    connect(readVin_, &QPushButton::clicked, this, &EmissionsCheckWindow::readVinClick);
    connect(vin_, &QLineEdit::textChanged, this, &EmissionsCheckWindow::showVinNote);
    combo(scheme_, "Scheme", QStringLiteral("Registered &in"), {QStringLiteral("UK"), QStringLiteral("EU")});
    combo(type_, "Type", QStringLiteral("T&ype"), {QStringLiteral("car"), QStringLiteral("light van")});
    // Empty until the operator types or picks it: the date decides the limits, so none is
    // assumed.
    firstUsed_ = new QLineEdit(page);
    firstUsed_->setObjectName(QStringLiteral("FirstUsed"));
    firstUsed_->setAccessibleName(QStringLiteral("First used"));
    firstUsed_->setPlaceholderText(check::ShortDateText(QDate(2004, 3, 14)));
    firstUsed_->setFont(big);
    pickDate_ = new QToolButton(page);
    pickDate_->setObjectName(QStringLiteral("PickDate"));
    pickDate_->setText(QStringLiteral("Pick\u2026"));
    pickDate_->setAccessibleName(QStringLiteral("Pick the date of first use"));
    pickDate_->setFont(big);
    pickDate_->setPopupMode(QToolButton::InstantPopup);
    auto *calendarMenu = new QMenu(pickDate_);
    auto *calendar = new QCalendarWidget(calendarMenu);
    calendar->setObjectName(QStringLiteral("FirstUsedCalendar"));
    auto *calendarAction = new QWidgetAction(calendarMenu);
    calendarAction->setDefaultWidget(calendar);
    calendarMenu->addAction(calendarAction);
    pickDate_->setMenu(calendarMenu);
    connect(calendar, &QCalendarWidget::clicked, this, [this, calendarMenu](const QDate &date) {
        firstUsed_->setText(check::ShortDateText(date));
        calendarMenu->close();
    });
    auto *dateRow = new QHBoxLayout;
    dateRow->addWidget(firstUsed_, 1);
    dateRow->addWidget(pickDate_);
    auto *firstLabel = new QLabel(QStringLiteral("&First used"), page);
    firstLabel->setBuddy(firstUsed_);
    firstLabel->setFont(big);
    form->addRow(firstLabel, dateRow);
    QStringList fuels;
    for (const link::FuelInfo &f : link::kFuels)
        fuels << QLatin1String(f.shownName);
    combo(fuel_, "Fuel", QStringLiteral("F&uel"), fuels);
    catalyst_ = new QCheckBox(QStringLiteral("C&atalyst fitted"), page);
    catalyst_->setObjectName(QStringLiteral("Catalyst"));
    catalyst_->setFont(big);
    catalyst_->setChecked(true);
    twoStroke_ = new QCheckBox(QStringLiteral("T&wo-stroke engine"), page);
    twoStroke_->setObjectName(QStringLiteral("TwoStroke"));
    twoStroke_->setFont(big);
    form->addRow(QString(), catalyst_);
    form->addRow(QString(), twoStroke_);
    line(operatorName_, "OperatorName", QStringLiteral("&Operator"));

    auto *cancelButton = pageButton(page, "CancelButton", QStringLiteral("Cance&l"));
    cancelButton->setFont(big);
    connect(cancelButton, &QPushButton::clicked, this, &EmissionsCheckWindow::reject);
    auto *nextButton = pageButton(page, "NextButton", QStringLiteral("&Next"));
    nextButton->setFont(big);
    nextButton->setDefault(true);
    connect(nextButton, &QPushButton::clicked, this, &EmissionsCheckWindow::nextClick);
    connect(registration_, &QLineEdit::textChanged, this, &EmissionsCheckWindow::lookUpRegistration);
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
    buttons->addWidget(cancelButton);
    buttons->addStretch();
    buttons->addWidget(nextButton);
    v->addLayout(buttons);
    return page;
}

QWidget *EmissionsCheckWindow::buildLimitsPage()
{
    auto *page = new QWidget;
    const QFont big = sized(font(), 17, false);
    auto *title = new QLabel(QStringLiteral("The limits"), page);
    title->setFont(sized(font(), 26));
    chosen_ = pageText(page, "Chosen", sized(font(), 19));
    recordOnly_ = pageText(page, "RecordOnly", big);
    recordOnly_->setStyleSheet(QStringLiteral("color:#804000;"));
    limitList_ = new QListWidget(page);
    limitList_->setObjectName(QStringLiteral("LimitList"));
    limitList_->setFont(sized(font(), 15, false));
    auto *listLabel = new QLabel(QStringLiteral("&Limit sets (another may be picked)"), page);
    listLabel->setBuddy(limitList_);
    listLabel->setFont(big);

    makerForm_ = new QWidget(page);
    makerForm_->setObjectName(QStringLiteral("MakerForm"));
    auto *grid = new QGridLayout(makerForm_);
    makerFastIdle_ = new QCheckBox(QStringLiteral("Fast idle &stage"), makerForm_);
    makerFastIdle_->setObjectName(QStringLiteral("MakerFastIdle"));
    makerFastIdle_->setChecked(true);
    using C = check::MakerCaptions;
    const check::MakerTyped typed;
    auto caption = [](const char *c) { return QString::fromUtf8(c); };
    auto edit = [&](QLineEdit *&e, const char *name, const QString &caption, const QString &value, int row,
                    int column) {
        e = new QLineEdit(value, makerForm_);
        e->setObjectName(QString::fromLatin1(name));
        e->setAccessibleName(caption);
        e->setMaximumWidth(110);
        grid->addWidget(new QLabel(caption, makerForm_), row, column * 2);
        grid->addWidget(e, row, column * 2 + 1);
    };
    grid->addWidget(makerFastIdle_, 0, 0, 1, 2);
    edit(makerFastMin_, "MakerFastMin", caption(C::fastMinRpm), typed.fastMinRpm, 1, 0);
    edit(makerFastMax_, "MakerFastMax", caption(C::fastMaxRpm), typed.fastMaxRpm, 1, 1);
    edit(makerFastCo_, "MakerFastCo", caption(C::fastCo), typed.fastCo, 2, 0);
    edit(makerFastHc_, "MakerFastHc", caption(C::fastHc), typed.fastHc, 2, 1);
    edit(makerLambdaMin_, "MakerLambdaMin", caption(C::lambdaMin), typed.lambdaMin, 3, 0);
    edit(makerLambdaMax_, "MakerLambdaMax", caption(C::lambdaMax), typed.lambdaMax, 3, 1);
    edit(makerIdleMin_, "MakerIdleMin", caption(C::idleMinRpm), typed.idleMinRpm, 4, 0);
    edit(makerIdleMax_, "MakerIdleMax", caption(C::idleMaxRpm), typed.idleMaxRpm, 4, 1);
    edit(makerIdleCo_, "MakerIdleCo", caption(C::idleCo), typed.idleCo, 5, 0);
    edit(makerIdleHc_, "MakerIdleHc", caption(C::idleHc), typed.idleHc, 5, 1);
    makerForm_->setEnabled(false);
    limitProblem_ = pageText(page, "LimitProblem", big);
    limitProblem_->setStyleSheet(QStringLiteral("color:#b00000;"));

    auto *backButton = pageButton(page, "BackButton", QStringLiteral("&Back"));
    startButton_ = pageButton(page, "StartButton", QStringLiteral("Start chec&k"));
    for (QPushButton *b : {backButton, startButton_})
        b->setFont(big);
    connect(backButton, &QPushButton::clicked, this, &EmissionsCheckWindow::backClick);
    connect(startButton_, &QPushButton::clicked, this, &EmissionsCheckWindow::startClick);
    connect(limitList_, &QListWidget::currentRowChanged, this, &EmissionsCheckWindow::showPicked);
    for (QLineEdit *e : makerForm_->findChildren<QLineEdit *>())
        connect(e, &QLineEdit::textChanged, this, &EmissionsCheckWindow::showPicked);
    connect(makerFastIdle_, &QCheckBox::toggled, this, &EmissionsCheckWindow::showPicked);

    auto *v = new QVBoxLayout(page);
    v->addWidget(title);
    v->addWidget(chosen_);
    v->addWidget(recordOnly_);
    v->addWidget(listLabel);
    v->addWidget(limitList_, 1);
    v->addWidget(makerForm_);
    v->addWidget(limitProblem_);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(backButton);
    buttons->addStretch();
    buttons->addWidget(startButton_);
    v->addLayout(buttons);
    return page;
}

QWidget *EmissionsCheckWindow::buildCheckPage()
{
    auto *page = new QWidget;
    step_ = pageText(page, "Step", sized(font(), 20, false), false);
    instruction_ = pageText(page, "Instruction", sized(font(), 36));
    detail_ = pageText(page, "Detail", sized(font(), 20, false));
    stageFailed_ = pageText(page, "StageFailed", sized(font(), 22));
    stageFailed_->setStyleSheet(QStringLiteral("color:#b00000;"));
    gauge_ = new RpmGauge(page);
    steady_ = new QProgressBar(page);
    steady_->setObjectName(QStringLiteral("Steady"));
    steady_->setRange(0, 100);
    steady_->setFormat(QStringLiteral("steady %p %"));
    steady_->setAccessibleName(QStringLiteral("Steady part of the measurement"));
    auto *gases = new QHBoxLayout;
    for (int i = 0; i < 5; ++i) {
        auto *l = new QLabel(page);
        l->setObjectName(QStringLiteral("Gas%1").arg(i));
        l->setFont(sized(font(), 22));
        l->setAlignment(Qt::AlignCenter);
        l->setWordWrap(true);
        gasLabels_.push_back(l);
        gases->addWidget(l);
    }
    const QFont big = sized(font(), 17, false);
    pumpButton_ = pageButton(page, "PumpButton", QStringLiteral("&Pump"));
    cleanAirButton_ = pageButton(page, "CleanAirButton", QStringLiteral("Clean air &HC"));
    warmButton_ = pageButton(page, "WarmButton", QStringLiteral("&Engine warm"));
    stopButton_ = pageButton(page, "StopButton", QStringLiteral("S&top"));
    for (QPushButton *b : {pumpButton_, cleanAirButton_, warmButton_, stopButton_})
        b->setFont(big);
    connect(cleanAirButton_, &QPushButton::clicked, this, &EmissionsCheckWindow::cleanAirClick);
    connect(pumpButton_, &QPushButton::clicked, this, &EmissionsCheckWindow::pumpClick);
    connect(warmButton_, &QPushButton::clicked, this, &EmissionsCheckWindow::warmClick);
    connect(stopButton_, &QPushButton::clicked, this, &EmissionsCheckWindow::stopClick);
    // Among the check's buttons, so the question takes no row of its own on a small screen.
    // Alt+G and Alt+X: every letter of "on" and "off" is taken elsewhere in the window.
    dashboardLampAsk_ = new QWidget(page);
    dashboardLampAsk_->setObjectName(QStringLiteral("DashboardLampAsk"));
    auto *ask = new QHBoxLayout(dashboardLampAsk_);
    ask->setContentsMargins(0, 0, 0, 0);
    auto *askCaption = new QLabel(QStringLiteral("Dashboard lamp:"), dashboardLampAsk_);
    askCaption->setFont(sized(font(), 15, false));
    ask->addWidget(askCaption);
    for (const bool on : {true, false}) {
        auto *b = pageButton(dashboardLampAsk_, on ? "DashboardLampOnButton" : "DashboardLampOffButton",
                             on ? QStringLiteral("On (&G)") : QStringLiteral("Off (&X)"));
        b->setFont(big);
        b->setAccessibleName(on ? QStringLiteral("The warning lamp on the dashboard is on")
                                : QStringLiteral("The warning lamp on the dashboard is off"));
        connect(b, &QPushButton::clicked, this, [this, on] { dashboardLampClick(on); });
        ask->addWidget(b);
    }

    speedSource_ = pageText(page, "SpeedSource", sized(font(), 15, false));
    speedDisagreement_ = pageText(page, "SpeedDisagreement", sized(font(), 17));
    speedDisagreement_->setStyleSheet(QStringLiteral("color:#b00000;"));
    // Under the live values, which must stay whole at 150 % on 1280x1024: no title row, the
    // adapter, the lamp and the codes, each a few words while the car answers, on one row
    // with short captions, and the readiness, the longest text, across the whole box below.
    auto *obdBox = new QGroupBox(page);
    obdBox->setObjectName(QStringLiteral("ObdPanel"));
    obdBox->setAccessibleName(QStringLiteral("The car's diagnostics (OBD)"));
    obdBox->setFont(sized(font(), kObdCaptionPixels, false));
    obdPanel_ = obdBox;
    obdAdapter_ = pageText(obdBox, "ObdAdapter", sized(font(), 15, false));
    obdLamp_ = pageText(obdBox, "ObdLamp", sized(font(), 15, false));
    obdCodes_ = pageText(obdBox, "ObdCodes", sized(font(), 15, false));
    obdMonitors_ = pageText(obdBox, "ObdMonitors", sized(font(), 13, false));
    obdMonitors_->setTextFormat(Qt::RichText);
    auto *obdGrid = new QGridLayout(obdBox);
    obdGrid->setContentsMargins(8, 2, 8, 2);
    obdGrid->setVerticalSpacing(2);
    obdGrid->setHorizontalSpacing(8);
    // A caption after a value stands off from it, so each reads as its own pair.
    auto caption = [obdBox](const QString &text, int indent = 0) {
        auto *label = new QLabel(text, obdBox);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setContentsMargins(indent, 0, 0, 0);
        return label;
    };
    obdGrid->addWidget(caption(QStringLiteral("Adapter:")), 0, 0);
    obdGrid->addWidget(obdAdapter_, 0, 1);
    obdGrid->addWidget(caption(QStringLiteral("Warning lamp:"), 12), 0, 2);
    obdGrid->addWidget(obdLamp_, 0, 3);
    obdGrid->addWidget(caption(QStringLiteral("Codes:"), 12), 0, 4);
    obdGrid->addWidget(obdCodes_, 0, 5);
    obdGrid->addWidget(obdMonitors_, 1, 0, 1, 6);
    obdGrid->setColumnStretch(1, 1);
    obdGrid->setColumnStretch(5, 1);
    obdBox->hide();
    speedSource_->hide();
    speedDisagreement_->hide();

    auto *v = new QVBoxLayout(page);
    v->addWidget(step_);
    v->addWidget(instruction_);
    v->addWidget(detail_);
    v->addWidget(stageFailed_);
    v->addWidget(gauge_);
    v->addWidget(speedSource_);
    v->addWidget(speedDisagreement_);
    v->addWidget(steady_);
    v->addLayout(gases);
    v->addWidget(obdBox);
    v->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(pumpButton_);
    buttons->addWidget(cleanAirButton_);
    buttons->addWidget(warmButton_);
    buttons->addWidget(dashboardLampAsk_);
    buttons->addStretch();
    buttons->addWidget(stopButton_);
    v->addLayout(buttons);
    return page;
}

QWidget *EmissionsCheckWindow::buildResultPage()
{
    auto *page = new QWidget;
    overall_ = pageText(page, "Overall", sized(font(), 64), false);
    overall_->setAlignment(Qt::AlignCenter);
    results_ = new QTableWidget(0, 6, page);
    results_->setObjectName(QStringLiteral("Results"));
    results_->setHorizontalHeaderLabels({QStringLiteral("Stage"), QStringLiteral("Gas"), QStringLiteral("Mean"),
                                         QStringLiteral("Worst"), QStringLiteral("Limit"), QStringLiteral("Result")});
    results_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    results_->verticalHeader()->hide();
    results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results_->setFont(sized(font(), 15, false));
    resultNotes_ = pageText(page, "ResultNotes", sized(font(), 15, false));
    resultObd_ = pageText(page, "ResultObd", sized(font(), 15, false));
    resultObd_->hide();
    saveStatus_ = pageText(page, "SaveStatus", sized(font(), 15, false));
    printButton_ = pageButton(page, "PrintButton", QStringLiteral("Print &certificate"));
    auto *closeButton = pageButton(page, "CloseButton", QStringLiteral("&Done"));
    for (QPushButton *b : {printButton_, closeButton})
        b->setFont(sized(font(), 17, false));
    connect(printButton_, &QPushButton::clicked, this, &EmissionsCheckWindow::printClick);
    connect(closeButton, &QPushButton::clicked, this, &EmissionsCheckWindow::closeClick);
    auto *v = new QVBoxLayout(page);
    v->addWidget(overall_);
    v->addWidget(results_, 1);
    v->addWidget(resultObd_);
    v->addWidget(resultNotes_);
    v->addWidget(saveStatus_);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(printButton_);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    v->addLayout(buttons);
    return page;
}

EmissionsCheckWindow::Page EmissionsCheckWindow::page() const
{
    return static_cast<Page>(pages_->currentIndex());
}

void EmissionsCheckWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        openCheck();
}

void EmissionsCheckWindow::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous())
        closeCheck();
    QDialog::hideEvent(event);
}

void EmissionsCheckWindow::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // Windows sizes a window the moment it exists, before its pages are built.
    if (instruction_ == nullptr || stageFailed_ == nullptr)
        return;
    const CheckPageFonts fonts = CheckPageFontsFor(height());
    instruction_->setFont(sized(font(), fonts.instruction));
    for (QLabel *l : gasLabels_)
        l->setFont(sized(font(), fonts.values));
    for (QLabel *l : {step_, detail_})
        l->setFont(sized(font(), fonts.text, false));
    stageFailed_->setFont(sized(font(), fonts.text));
}

void EmissionsCheckWindow::done(int result)
{
    closeCheck();
    QDialog::done(result);
}

void EmissionsCheckWindow::openCheck()
{
    if (shown_)
        return;
    shown_ = true;
    check::CheckSettings settings = readSettings();
    run_ = std::make_unique<check::CheckRun>(
        check::LoadLimitLibrary(check::WorkshopLimitFilePath()), settings,
        check::CheckRun::Seams{state_.now, state_.history,
                               [](const check::CheckRecord &r) { return check::CertificateLines(r); }});
    connect(run_.get(), &check::CheckRun::changed, this, &EmissionsCheckWindow::showScreen);
    connect(run_.get(), &check::CheckRun::concluded, this, &EmissionsCheckWindow::showResult);
    connect(run_.get(), &check::CheckRun::saved, this, &EmissionsCheckWindow::showSaved);
    pages_->setCurrentIndex(int(Page::Vehicle));
    registration_->setFocus();
    if (state_.history && !state_.history->reachable())
        state_.history->prepare();
    lookUpRegistration();
}

void EmissionsCheckWindow::closeCheck()
{
    if (!shown_)
        return;
    shown_ = false;
    clock_->stop();
    if (run_)
        run_->stopListening();
    session_.giveBack();
}

void EmissionsCheckWindow::listenToSession()
{
    session_.listen(&link::LiveSession::promptRaised, this,
                    [this](const link::Prompt &p) { ui::AskAnalyserPrompt(*state_.op, this, state_.session, p); });
    session_.listen(&link::LiveSession::noResponse, this, [this] {
        state_.op->message(this, kCaption, QStringLiteral("No response from the analyser"), ui::Icon::Warning,
                           ui::Buttons::Ok,
                           QStringLiteral("Check the cable and that the analyser is switched on; the "
                                          "check goes on when readings come again."));
    });
}

check::CheckSettings EmissionsCheckWindow::readSettings()
{
    const QSettings store = check::CheckSettingsStore();
    settings::ValidatedSettings read(store);
    operatorName_->setText(check::ReadOperatorName(read));
    const QStringList notices = settings::NoticesNotYetGiven(read.messages());
    if (!notices.isEmpty())
        state_.op->message(this, kCaption, QStringLiteral("Some of the check's settings were ignored."),
                           ui::Icon::Warning, ui::Buttons::Ok,
                           notices.join(QLatin1Char('\n')) +
                               QStringLiteral("\nCorrect or remove them there; until then the defaults are used."));
    return check::ReadCheckSettings(read);
}

void EmissionsCheckWindow::lookUpRegistration()
{
    // Only a database already open, and never waited for: typing must never wait on a server.
    const QString reg = registration_->text().trimmed();
    if (!state_.history || reg.isEmpty()) {
        lastResult_->clear();
        keptVin_.clear();
        showVinNote();
        return;
    }
    state_.history->lookUpLast(reg, this, [this](const history::TestArchive::LastResult &found) {
        if (page() == Page::Vehicle)
            showLastTest(found.test);
    });
}

void EmissionsCheckWindow::showLastTest(const std::optional<history::TestEntry> &last)
{
    keptVin_ = last ? last->vin : QString();
    showVinNote();
    if (!last) {
        lastResult_->clear();
        return;
    }
    if (!last->vehicle.isEmpty())
        model_->setText(last->vehicle);
    const check::Fuel fuel = check::FuelFromCode(static_cast<std::uint8_t>(last->fuelCode));
    for (int i = 0; i < static_cast<int>(std::size(link::kFuels)); ++i)
        if (link::kFuels[i].fuel == fuel)
            fuel_->setCurrentIndex(i);
    const QString what = last->kind == history::kCheckKind
                             ? QStringLiteral("emissions check, %1")
                                   .arg(last->verdict.isEmpty() ? QStringLiteral("no verdict") : last->verdict)
                             : QStringLiteral("report, CO %1, HC %2")
                                   .arg(check::PercentText(last->printed.co), check::PpmText(last->printed.hc));
    lastResult_->setText(
        QStringLiteral("Last test %1: %2").arg(last->takenAt.toString(QStringLiteral("yyyy-MM-dd hh:mm")), what));
}

check::VehicleTyped EmissionsCheckWindow::vehicleTyped() const
{
    check::VehicleTyped v;
    v.registration = registration_->text();
    v.model = model_->text();
    v.operatorName = operatorName_->text();
    v.scheme = scheme_->currentText();
    v.type = type_->currentText();
    v.firstUsed = firstUsed_->text();
    v.fuel = link::kFuels[std::clamp(fuel_->currentIndex(), 0, static_cast<int>(std::size(link::kFuels)) - 1)].fuel;
    v.catalyst = catalyst_->isChecked();
    v.twoStroke = twoStroke_->isChecked();
    v.vin = vin_->text().trimmed().toUpper();
    return v;
}

check::MakerTyped EmissionsCheckWindow::makerTyped() const
{
    check::MakerTyped t;
    t.fastIdle = makerFastIdle_->isChecked();
    t.fastMinRpm = makerFastMin_->text();
    t.fastMaxRpm = makerFastMax_->text();
    t.fastCo = makerFastCo_->text();
    t.fastHc = makerFastHc_->text();
    t.lambdaMin = makerLambdaMin_->text();
    t.lambdaMax = makerLambdaMax_->text();
    t.idleMinRpm = makerIdleMin_->text();
    t.idleMaxRpm = makerIdleMax_->text();
    t.idleCo = makerIdleCo_->text();
    t.idleHc = makerIdleHc_->text();
    return t;
}

void EmissionsCheckWindow::nextClick()
{
    if (!run_)
        return;
    const check::VehicleRead read = run_->takeVehicle(vehicleTyped());
    if (!read.vehicle) {
        state_.op->message(this, kCaption, read.problem, ui::Icon::Information, ui::Buttons::Ok);
        (read.field == check::VehicleField::FirstUsed ? firstUsed_ : registration_)->setFocus();
        return;
    }
    check::CheckSettingsStore().setValue(QStringLiteral("operator"), operatorName_->text().trimmed());
    showLimits();
    pages_->setCurrentIndex(int(Page::Limits));
    limitList_->setFocus();
}

void EmissionsCheckWindow::backClick()
{
    pages_->setCurrentIndex(int(Page::Vehicle));
    registration_->setFocus();
}

void EmissionsCheckWindow::showLimits()
{
    const check::LimitChoice &choice = run_->choice();
    limitList_->blockSignals(true);
    limitList_->clear();
    for (const check::LimitSet &s : run_->library().sets) {
        limitList_->addItem(
            QStringLiteral("%1 (%2 %3)").arg(s.name, s.scheme, s.vehicleTypes.join(QStringLiteral("/"))));
        limitList_->item(limitList_->count() - 1)->setToolTip(s.source);
    }
    limitList_->addItem(QStringLiteral("The vehicle maker's own figures (type them below)"));
    limitList_->blockSignals(false);
    chosen_->setText(choice.set
                         ? QStringLiteral("%1\n%2\nSource: %3").arg(choice.set->name, choice.reason, choice.set->source)
                         : QStringLiteral("No limit set fits: %1").arg(choice.reason));
    limitList_->setCurrentRow(run_->chosenRow());
    showPicked();
}

void EmissionsCheckWindow::showPicked()
{
    if (!run_)
        return;
    makerForm_->setEnabled(limitList_->currentRow() == run_->makerRow());
    const check::LimitPick pick = run_->pick(limitList_->currentRow(), makerTyped());
    limitProblem_->setText(!pick.set.ok() ? pick.set.problem().text() : run_->library().workshopError);
    recordOnly_->setText(pick.recordOnly()
                             ? QStringLiteral("No metered test applies to this vehicle: the readings will be "
                                              "recorded only, with no pass or fail.")
                             : QString());
}

void EmissionsCheckWindow::startClick()
{
    if (!run_)
        return;
    const check::LimitPick pick = run_->pick(limitList_->currentRow(), makerTyped());
    if (!pick.set.ok()) {
        state_.op->message(this, kCaption, QStringLiteral("The check cannot start: %1").arg(pick.set.problem().text()),
                           ui::Icon::Warning, ui::Buttons::Ok);
        return;
    }
    // With no analyser the check could only wait for ever.
    if (const Done taken = session_.take(kPolling); !taken.ok()) {
        ui::TellSessionFailure(*state_.op, this, taken.problem(),
                               {.caption = kCaption,
                                .text = QStringLiteral("The check cannot start: the analyser is not connected."),
                                .icon = ui::Icon::Warning,
                                .nextStep = QStringLiteral("Then press Start check again.")});
        return;
    }
    run_->listen(state_.session);
    pages_->setCurrentIndex(int(Page::Check));
    stopButton_->setFocus();
    clock_->start();
    if (const check::Done started = run_->start(pick, state_.CompanyHeader); !started.ok()) {
        state_.op->message(this, kCaption, QStringLiteral("The check cannot start: %1").arg(started.problem().text()),
                           ui::Icon::Warning, ui::Buttons::Ok);
        return;
    }
    if (state_.obd)
        run_->listenObd(*state_.obd);
}

void EmissionsCheckWindow::showScreen()
{
    if (!run_ || !run_->check() || run_->ended())
        return;
    const CheckScreen screen = ScreenOf(*run_);
    step_->setText(screen.step);
    instruction_->setText(screen.instruction);
    detail_->setText(screen.detail);
    stageFailed_->setText(screen.stageFailed);
    stageFailed_->setVisible(!screen.stageFailed.isEmpty());
    gauge_->setVisible(screen.showGauge);
    gauge_->setSpeed(screen.rpm, screen.windowMinRpm, screen.windowMaxRpm);
    gauge_->setAccessibleName(screen.spokenGauge);
    speedSource_->setText(screen.speedSource);
    speedSource_->setVisible(screen.showGauge && !screen.speedSource.isEmpty());
    speedDisagreement_->setText(screen.speedDisagreement);
    speedDisagreement_->setVisible(!screen.speedDisagreement.isEmpty());
    obdPanel_->setVisible(screen.obd.has_value());
    dashboardLampAsk_->setVisible(screen.obd && screen.obd->askDashboardLamp);
    if (screen.obd) {
        obdAdapter_->setText(screen.obd->adapter);
        obdAdapter_->setStyleSheet(screen.obd->lost ? QStringLiteral("color:#b00000;") : QString());
        obdLamp_->setText(screen.obd->dashboardLamp.isEmpty()
                              ? screen.obd->lamp
                              : QStringLiteral("%1; dashboard: %2").arg(screen.obd->lamp, screen.obd->dashboardLamp));
        obdCodes_->setText(screen.obd->codes);
        QStringList monitors;
        for (const auto &[name, readiness] : screen.obd->monitors)
            monitors << QStringLiteral("%1: %2").arg(name, readiness);
        obdMonitors_->setText(
            QStringLiteral("<span style=\"font-size:%1px\">Readiness:</span> %2")
                .arg(kObdCaptionPixels)
                .arg((monitors.isEmpty() ? QStringLiteral("not read yet") : monitors.join(QStringLiteral("; ")))
                         .toHtmlEscaped()));
    }
    steady_->setVisible(run_->check()->state().phase == check::CheckPhase::Measuring);
    steady_->setValue(screen.steadyPercent);
    for (std::size_t i = 0; i < gasLabels_.size() && i < screen.gases.size(); ++i) {
        const GasShown &g = screen.gases[i];
        gasLabels_[i]->setText(g.word.isEmpty() ? QStringLiteral("%1\n%2").arg(g.name, g.value)
                                                : QStringLiteral("%1\n%2\n%3").arg(g.name, g.value, g.word));
        gasLabels_[i]->setStyleSheet(markColour(g.mark) + QStringLiteral("border-radius:6px;"));
        gasLabels_[i]->setAccessibleName(g.spoken);
    }
    pumpButton_->setEnabled(screen.pumpEnabled);
    cleanAirButton_->setEnabled(screen.askCleanAir);
    warmButton_->setEnabled(screen.askWarmConfirmation);
    pumpButton_->setStyleSheet(screen.offerPump ? kAsked : QString());
    cleanAirButton_->setStyleSheet(screen.askCleanAir ? kAsked : QString());
    warmButton_->setStyleSheet(screen.askWarmConfirmation ? kAsked : QString());
    if (screen.offerPump)
        pumpButton_->setFocus();
    else if (screen.askCleanAir)
        cleanAirButton_->setFocus();
    else if (screen.askWarmConfirmation)
        warmButton_->setFocus();
    else if (QApplication::focusWidget() == nullptr || !QApplication::focusWidget()->isEnabled())
        stopButton_->setFocus();
}

void EmissionsCheckWindow::pumpClick()
{
    if (!run_ || !run_->running())
        return;
    state_.session.send(link::kPumpCommand);
    state_.session.skipNextTick();
}

void EmissionsCheckWindow::cleanAirClick()
{
    if (run_)
        run_->confirmCleanAir();
}

void EmissionsCheckWindow::warmClick()
{
    if (run_)
        run_->confirmEngineWarm();
}

void EmissionsCheckWindow::dashboardLampClick(bool on)
{
    if (run_)
        run_->confirmDashboardLamp(on);
}

void EmissionsCheckWindow::stopClick()
{
    if (!run_ || !run_->running()) {
        done(QDialog::Rejected);
        return;
    }
    state_.session.hold();
    const ui::Answer a = state_.op->message(this, kCaption,
                                            QStringLiteral("Stop the check? It is kept in the history as "
                                                           "abandoned, with no verdict."),
                                            ui::Icon::Question, ui::Buttons::NoYes);
    state_.session.resume();
    if (a == ui::Answer::Yes)
        run_->abandon();
}

void EmissionsCheckWindow::reject()
{
    if (page() == Page::Check && run_ && run_->running()) {
        stopClick();
        return;
    }
    QDialog::reject();
}

void EmissionsCheckWindow::closeClick()
{
    done(QDialog::Accepted);
}

void EmissionsCheckWindow::showResult()
{
    clock_->stop();
    // The verdict is in: nothing the analyser asks from here on concerns the check.
    session_.giveBack();
    const check::CheckRecord &r = *run_->record();
    const check::CheckResult result = run_->result();
    overall_->setText(result.verdict);
    overall_->setStyleSheet(toneColour(result.tone));
    int rows = 0;
    for (const check::StageOutcome &s : result.stages)
        rows += static_cast<int>(s.gases.size());
    results_->setRowCount(rows);
    int row = 0;
    for (const check::StageOutcome &s : result.stages) {
        for (const check::GasResult &g : s.gases) {
            const QString cells[] = {s.title, g.gas, g.mean, g.worst, g.limit, g.result};
            for (int c = 0; c < 6; ++c)
                results_->setItem(row, c, new QTableWidgetItem(cells[c]));
            if (check::ToneOf(g.verdict) != check::Tone::Neutral)
                results_->item(row, 5)->setForeground(check::ToneOf(g.verdict) == check::Tone::Pass
                                                          ? QColor(0x00, 0x60, 0x00)
                                                          : QColor(0xb0, 0x00, 0x00));
            ++row;
        }
    }
    QStringList notes;
    const QString vehicle =
        r.model.isEmpty() ? r.vehicle.registration : QStringLiteral("%1, %2").arg(r.vehicle.registration, r.model);
    notes << QStringLiteral("%1 — %2").arg(vehicle, r.limits.name);
    if (!result.note.isEmpty())
        notes << result.note;
    for (const check::StageOutcome &s : result.stages)
        if (s.ran)
            notes << (s.failure.isEmpty() ? QStringLiteral("%1: %2").arg(s.title, s.reason) : s.failure);
    const check::CertificatePage certificate = check::CertificateContent(r);
    notes << certificate.notes;
    resultNotes_->setText(notes.join(QLatin1Char('\n')));
    resultObd_->setVisible(certificate.obd.has_value());
    resultObd_->setText(
        certificate.obd
            ? check::CertificateObdLines(*certificate.obd, check::MonitorLines::Joined).join(QLatin1Char('\n'))
            : QString());
    saveStatus_->setText(state_.history ? QStringLiteral("Saving to the history\u2026")
                                        : QStringLiteral("No history is kept on this workstation."));
    pages_->setCurrentIndex(int(Page::Result));
    printButton_->setFocus();
}

void EmissionsCheckWindow::showSaved(bool ok, const QString &problem)
{
    if (ok) {
        saveStatus_->setText(QStringLiteral("Saved to the history."));
        return;
    }
    saveStatus_->setText(QStringLiteral("Not yet in the history: %1").arg(problem));
    state_.op->message(this, kCaption, problem, ui::Icon::Warning, ui::Buttons::Ok);
}

void EmissionsCheckWindow::printClick()
{
    if (!run_ || !run_->record() || !run_->ended() || state_.printing == nullptr)
        return;
    const check::CheckRecord &record = *run_->record();
    const std::unique_ptr<QPrinter> printer =
        state_.printing->startJob(this, QStringLiteral("Emissions check %1").arg(record.vehicle.registration));
    if (!printer)
        return;
    QPainter painter;
    if (!painter.begin(printer.get())) {
        state_.op->message(this, kCaption, QStringLiteral("The certificate could not be printed."), ui::Icon::Warning,
                           ui::Buttons::Ok, QStringLiteral("The printer would not start the page."));
        return;
    }
    const QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
    check::PaintCertificate(painter, QRectF(QPointF(0, 0), page.size().toSizeF()), record);
    painter.end();
}

void EmissionsCheckWindow::readVinClick()
{
    obd::ObdLink *link = state_.obd;
    if (!link || !link->inUse()) {
        state_.op->message(this, kCaption,
                           QStringLiteral("The VIN cannot be read from the car: no OBD adapter is chosen."),
                           ui::Icon::Information, ui::Buttons::Ok,
                           QStringLiteral("Choose the adapter in FILE > COMM (OBD adapter), or type the VIN from "
                                          "the plate on the car."));
        return;
    }
    if (waitingForVin_)
        return;
    waitingForVin_ = connect(link, &obd::ObdLink::changed, this, &EmissionsCheckWindow::vinReadingChanged);
    readVin_->setText(QStringLiteral("Reading the VIN\u2026"));
    vinPatience_->start();
    vinReadingChanged();
}

void EmissionsCheckWindow::vinReadingChanged()
{
    obd::ObdLink *link = state_.obd;
    if (!waitingForVin_)
        return;
    if (!link || !link->inUse()) {
        stopWaitingForVin(QStringLiteral("The OBD adapter was taken away in FILE > COMM before the VIN came."));
        return;
    }
    const obd::ElmSession &session = link->session();
    if (const auto &vin = session.readings().vin) {
        const obd::Vin read = vin->value;
        stopWaitingForVin({});
        readVinText_ = read.text;
        readVinDoubt_ = read.trusted ? QString() : read.doubt;
        vin_->setText(read.text);
        showVinNote();
        return;
    }
    if (session.state() == obd::ElmSession::State::NoCar)
        stopWaitingForVin(QStringLiteral("The car does not answer the OBD adapter (%1): switch the ignition on, "
                                         "then press Read VIN from the car again.")
                              .arg(session.problem()));
    else if (session.state() == obd::ElmSession::State::Closed && !session.problem().isEmpty())
        stopWaitingForVin(QStringLiteral("The OBD adapter cannot be used: %1").arg(session.problem()));
}

void EmissionsCheckWindow::stopWaitingForVin(const QString &why)
{
    disconnect(waitingForVin_);
    waitingForVin_ = {};
    vinPatience_->stop();
    readVin_->setText(QStringLiteral("Read &VIN from the car"));
    if (!why.isEmpty()) {
        vinNote_->setStyleSheet(QStringLiteral("color:#b00000;"));
        vinNote_->setText(why);
    }
}

void EmissionsCheckWindow::showVinNote()
{
    const QString given = vin_->text().trimmed().toUpper();
    // What the car sent keeps the car's doubt; what is typed is judged as typed.
    const QString doubt =
        !readVinText_.isEmpty() && vin_->text() == readVinText_ ? readVinDoubt_ : obd::VinDoubt(given);
    const check::VinNote note = check::CompareVin(keptVin_, given, doubt);
    vinNote_->setStyleSheet(note.agreement == check::VinAgreement::Same ? QStringLiteral("color:#006000;")
                                                                        : QStringLiteral("color:#b00000;"));
    vinNote_->setText(note.text);
}

} // namespace qova::checkui
