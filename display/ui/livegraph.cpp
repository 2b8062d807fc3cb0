#include "display/ui/livegraph.h"

#include "display/clamp.h"
#include "display/graphmath.h"
#include "display/graphreading.h"
#include "display/texts.h"
#include "link/livesession.h"
#include "ui/commfailure.h"
#include "ui/operator.h"
#include "ui/placed.h"
#include "ui/printing.h"

#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHideEvent>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

namespace qova::display {

namespace {

QFont boldFont(int pixels)
{
    QFont f;
    f.setPixelSize(pixels);
    f.setBold(true);
    return f;
}

// A black value panel with coloured lettering; (top, left) as the layout lists them.
QLabel *valuePanel(QWidget *parent, const QString &name, const QString &text, const QColor &color, int top, int left,
                   int width, int height, int fontPixels)
{
    auto *p = new QLabel(text, parent);
    p->setObjectName(name);
    p->setGeometry(left, top, width, height);
    p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    p->setLineWidth(2);
    p->setAutoFillBackground(true);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, color);
    p->setPalette(pal);
    p->setFont(boldFont(fontPixels));
    p->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    p->setIndent(fontPixels > 12 ? 4 : 1);
    return p;
}

QColor colorOf(TColor c)
{
    return QColor::fromRgb(ToRgb(c));
}

constexpr int kPanel5Width = 417;
constexpr int kPanel5Height = 68;

} // namespace

TForm3::TForm3(ui::SharedState &state, QWidget *parent) : QDialog(parent), state_(state)
{
    FormCreate();
}

TForm3::~TForm3()
{
    FormClose();
}

void TForm3::FormCreate()
{
    setObjectName(QStringLiteral("Form3"));
    // A resizable window with only the close box in its title bar.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("QOVA"));
    QFont small;
    small.setPixelSize(11);
    setFont(small);

    PerformanceGraph1 = new TPerformanceGraph(this);
    PerformanceGraph1->setObjectName(QStringLiteral("PerformanceGraph1"));
    PerformanceGraph1->SetBackColor(0xFFFFFF);
    PerformanceGraph1->SetScale(100);
    PerformanceGraph1->SetGradient(100);
    PerformanceGraph1->SetGridlines(false);
    PerformanceGraph1->setAccessibleName(QStringLiteral("Readings of the last six minutes"));

    Panel1 = valuePanel(this, QStringLiteral("Panel1"), QStringLiteral("CO"), Qt::red, 40, 4, 125, 40, 16);
    Panel2 = valuePanel(this, QStringLiteral("Panel2"), QStringLiteral("CO2"), Qt::blue, 84, 4, 125, 40, 16);
    Panel3 = valuePanel(this, QStringLiteral("Panel3"), QStringLiteral("HC"), Qt::yellow, 128, 4, 125, 40, 16);
    Panel4 = valuePanel(this, QStringLiteral("Panel4"), QStringLiteral("O2"), Qt::green, 172, 4, 125, 40, 16);
    Panel13 = valuePanel(this, QStringLiteral("Panel13"), QStringLiteral("NO"), QColor(0xC0, 0xC0, 0xC0), 216, 4, 125,
                         40, 16);

    Panel12 = ui::Placed<QFrame>("Panel12", {4, 316, 125, 8 * 24 + 10}, this);
    Panel12->setFrameStyle(QFrame::Panel | QFrame::Raised);
    const std::array<const char *, 8> captions = {"CO", "CO2", "HC", "O2", "NO", "LAM", "RPM", "OIL"};
    for (int i = 0; i < 8; ++i) {
        auto *box = new QCheckBox(QString::fromLatin1(captions[i]), Panel12);
        box->setObjectName(QStringLiteral("CheckBox%1").arg(i + 1));
        box->setGeometry(8, 5 + 24 * i, 110, 22);
        box->setFont(boldFont(16));
        QPalette pal = box->palette();
        pal.setColor(QPalette::WindowText, colorOf(kTraceColors[i])); // the colour of its trace
        box->setPalette(pal);
        box->setChecked(true);
        CheckBoxes[i] = box;
    }
    CheckBox1 = CheckBoxes[0];
    CheckBox2 = CheckBoxes[1];
    CheckBox3 = CheckBoxes[2];
    CheckBox4 = CheckBoxes[3];
    CheckBox5 = CheckBoxes[4];
    CheckBox6 = CheckBoxes[5];
    CheckBox7 = CheckBoxes[6];
    CheckBox8 = CheckBoxes[7];

    // The bottom bar sits near the screen's bottom, centred across it.
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen != nullptr ? screen->geometry().size() : QSize(1024, 768);
    panel5Home_ = QPoint((screenSize.width() - kPanel5Width) / 2, screenSize.height() - 130);
    Panel5 = ui::Placed<QFrame>("Panel5", QRect(panel5Home_, QSize(kPanel5Width, kPanel5Height)), this);
    Panel5->setFrameStyle(QFrame::Panel | QFrame::Raised);
    const QColor lime = Qt::green;
    Panel6 = valuePanel(Panel5, QStringLiteral("Panel6"), QStringLiteral("LAM"), lime, 6, 6, 104, 27, 10);
    Panel7 = valuePanel(Panel5, QStringLiteral("Panel7"), QStringLiteral("OIL"), lime, 6, 112, 104, 27, 10);
    Panel8 = valuePanel(Panel5, QStringLiteral("Panel8"), QStringLiteral("BATT"), lime, 6, 218, 104, 27, 10);
    Panel9 = valuePanel(Panel5, QStringLiteral("Panel9"), QStringLiteral("RPM"), lime, 37, 6, 104, 27, 10);
    Panel10 = valuePanel(Panel5, QStringLiteral("Panel10"), QStringLiteral("FUEL"), lime, 37, 112, 104, 27, 10);
    Panel11 = valuePanel(Panel5, QStringLiteral("Panel11"), QStringLiteral("TTZ"), lime, 37, 218, 104, 27, 10);
    Button1 = ui::Placed<QPushButton>("Button1", {330, 6, 80, 27}, QStringLiteral("&Main Menu"), Panel5);
    Button2 = ui::Placed<QPushButton>("Button2", {330, 37, 80, 27}, QStringLiteral("&Print"), Panel5);
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);

    session_.listen(&link::LiveSession::readingReady, this, &TForm3::plot);
    // The last frame is kept as read, valid or not.
    session_.listen(&link::LiveSession::invalidFrame, this, [this] {
        if (Reading)
            *Reading = state_.session.lastFrame();
    });
    sayBeforeReading();
}

void TForm3::ShowModal()
{
    if (!FormShow())
        return;
    // Filled to the screen first, for window managers that do not maximise dialogs.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
    exec();
}

bool TForm3::FormShow()
{
    link::PortState &port = state_.port;
    setWindowTitle(QStringLiteral("QOVA    ") + link::PortCaptionName(port));
    // The graph shows neither prompts nor "No Response": it only plots.
    if (const Done taken = session_.take({.periodMs = pollInterval_}); !taken.ok()) {
        ui::TellSessionFailure(*state_.op, parentWidget(), taken.problem());
        return false;
    }
    Reading = std::make_unique<link::LiveReading>();
    sayBeforeReading();
    Button2->setEnabled(state_.printing != nullptr);
    return true;
}

void TForm3::stopSession()
{
    session_.giveBack();
}

void TForm3::FormClose()
{
    stopSession();
    Reading.reset();
}

void TForm3::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TForm3::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous())
        FormClose();
    QDialog::hideEvent(event);
}

int TForm3::pollInterval() const
{
    return pollInterval_;
}

bool TForm3::polling() const
{
    return session_.holds() && state_.session.isPolling();
}

void TForm3::plot(const link::LiveReading &reading)
{
    if (!Reading)
        return;
    *Reading = reading;
    ClampForGraph(*Reading);
    const auto values = GraphTraceValues(*Reading);
    CheckBox6->setText(EfficiencyCaption(*Reading));
    for (int i = 0; i < kTraceCount; ++i)
        if (CheckBoxes[i]->isChecked())
            PerformanceGraph1->DataPoint(kTraceColors[i], values[i]);
    PerformanceGraph1->Update();
    const GraphPanelTexts t = GraphPanels(*Reading, state_.UsLocale);
    Panel1->setText(t.co);
    Panel2->setText(t.co2);
    Panel3->setText(t.hc);
    Panel4->setText(t.o2);
    Panel13->setText(t.no);
    Panel6->setText(t.efficiency);
    Panel7->setText(t.oil);
    Panel9->setText(t.rpm);
    Panel10->setText(t.fuel);
    Panel8->setText(t.battery);
    Panel11->setText(t.timeToZero);
    say(SpokenFigures(*Reading), SpokenPanels(*Reading, state_.UsLocale));
}

void TForm3::say(const SpokenFigureTexts &figures, const PanelTexts &panels)
{
    // In the order of SpokenFigures (CO, CO2, O2, HC) and SpokenPanels (lambda, oil, rpm,
    // fuel, battery, time to zero, NOx).
    const std::array<QLabel *, 4> figurePanels{Panel1, Panel2, Panel4, Panel3};
    const std::array<QLabel *, 7> valuePanels{Panel6, Panel7, Panel9, Panel10, Panel8, Panel11, Panel13};
    for (std::size_t i = 0; i < figurePanels.size(); ++i)
        figurePanels[i]->setAccessibleName(figures[i]);
    for (std::size_t i = 0; i < valuePanels.size(); ++i)
        valuePanels[i]->setAccessibleName(panels[i]);
}

void TForm3::sayBeforeReading()
{
    // Until the first reading a panel says what it will show, as the digital display does.
    say(SpokenFiguresBeforeReading(),
        {QStringLiteral("Lambda"), QStringLiteral("Oil temperature"), QStringLiteral("Engine speed"),
         QStringLiteral("Fuel"), QStringLiteral("Battery"), QStringLiteral("Time to zero"), QStringLiteral("NOx")});
}

void TForm3::Button1Click()
{
    stopSession();
    close();
}

void TForm3::Button2Click()
{
    if (state_.printing == nullptr)
        return;
    const bool wasPolling = polling();
    const bool holds = session_.holds();
    if (holds)
        state_.session.hold();
    const QPixmap shot = grab();
    if (std::unique_ptr<QPrinter> job = state_.printing->startJob(this, QStringLiteral("QOVA"))) {
        QPainter p(job.get());
        p.scale(double(job->logicalDpiX()) / logicalDpiX(), double(job->logicalDpiY()) / logicalDpiY());
        p.drawPixmap(0, 0, shot);
    }
    if (wasPolling && session_.holds())
        state_.session.resume();
}

void TForm3::placeGraph()
{
    const int cw = width(), ch = height();
    const int gx = cw / 6, gy = ch / 20;
    PerformanceGraph1->setGeometry(gx, gy, cw - (3 * gx) / 2, ch - 6 * gy);
    PerformanceGraph1->SetGridSize((ch - 6 * gy) / 10);
    pollInterval_ = PollIntervalMs(PerformanceGraph1->width());
    session_.setPeriod(pollInterval_);
}

void TForm3::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // The window system may resize the window while it is being built (Windows does).
    if (Button2 == nullptr)
        return;
    placeGraph();
    // Where the client area is shorter or narrower than the screen (a title bar, a task
    // bar, a window made smaller), the bar moves up or left just enough to stay whole, so
    // "Main Menu" can always be reached.
    const int x = std::clamp(panel5Home_.x(), 0, std::max(0, width() - kPanel5Width));
    const int y = std::clamp(panel5Home_.y(), 0, std::max(0, height() - kPanel5Height));
    Panel5->move(x, y);
}

void TForm3::paintEvent(QPaintEvent *)
{
    const int cw = width(), ch = height();
    const int gx = cw / 6, gy = ch / 20;
    const int base = ch - 5 * gy, R = cw - gx / 2;
    const int step = (ch - 6 * gy) / 10, tstep = (cw - (3 * gx) / 2) / 6;

    QPainter p(this);
    p.setPen(Qt::black);
    p.setFont(font());
    const int ascent = p.fontMetrics().ascent();
    // Texts are placed by their top-left corner.
    const auto textOut = [&](int x, int y, const QString &s) { p.drawText(x, y + ascent, s); };

    p.drawLine(gx, gy, gx, base);
    p.drawLine(gx, base, R, base);
    for (int k = 0; k <= 10; ++k) {
        const int y = base - k * step;
        p.drawLine(gx, y, gx - 10, y);
        textOut(gx - 24, y - 5, QString::asprintf(" %.1f", 0.2 * k));
    }
    textOut(gx - 34, base - 11 * step + gy / 2, QStringLiteral("2%/2000 PPM GAS"));
    for (int k = 0; k <= 10; ++k) {
        const int y = base - k * step;
        p.drawLine(R, y, R + 10, y);
        textOut(R + 8, y - 5, QString::number(200 * k));
    }
    textOut(R, base - 11 * step + gy / 2, QStringLiteral("PPM GAS"));
    for (int k = 0; k <= 6; ++k) {
        const int x = gx + k * tstep;
        p.drawLine(x, base, x, base + 10);
        textOut(x - 5, base + 10, QString::number(6 - k));
    }
    textOut(gx + 7 * tstep - (8 * gx) / 11, base + 8, QStringLiteral("Minutes"));
}

} // namespace qova::display
