#include "storeviewer.h"

#include "printing.h"
#include "storedtest.h"
#include "storefile.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <algorithm>
#include <vector>

namespace qova::store {

// ---- list ------------------------------------------------------------------------------

void StoreListModel::setRecords(const QByteArray &data, int recordCount, int currentYear)
{
    beginResetModel();
    data_ = data;
    count_ = std::clamp(recordCount, 0, static_cast<int>(data.size() / kRecordSize));
    year_ = currentYear;
    endResetModel();
}

void StoreListModel::clear()
{
    beginResetModel();
    data_.clear();
    count_ = 0;
    endResetModel();
}

int StoreListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count_;
}

QVariant StoreListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= count_)
        return {};
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(data_.constData());
    return FormatStoredTestRow(bytes + static_cast<qsizetype>(index.row()) * kRecordSize, year_);
}

void StoreRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QPalette &pal = option.palette;
    painter->fillRect(option.rect, selected ? pal.highlight() : pal.base());
    painter->setPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
    painter->setFont(option.font);
    const QRect textRect = option.rect.adjusted(2, 0, 0, 0);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    if (option.state.testFlag(QStyle::State_HasFocus)) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.backgroundColor = selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base);
        const QWidget *widget = option.widget;
        QStyle *style = widget != nullptr ? widget->style() : nullptr;
        if (style != nullptr)
            style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
}

QSize StoreRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return {option.rect.width() > 0 ? option.rect.width() : 1, kRowHeight};
}

// ---- graph -----------------------------------------------------------------------------

const std::array<StoreTrace, 7> kStoreTraces = {{
    {"CO", qRgb(255, 0, 0), kCoOffset, 20, true},
    {"CO2", qRgb(0, 0, 255), kCo2Offset, 2, true},
    {"HC", qRgb(255, 255, 0), kHcOffset, 20, true},
    {"O2", qRgb(0, 255, 0), kO2Offset, 20, true},
    {"NO", qRgb(128, 128, 128), kNoOffset, 20, true},
    {"RPM", qRgb(255, 0, 255), kRpmOffset, 200, false},
    {"OIL", qRgb(128, 0, 128), kOilOffset, 20, true},
}};

StoreGraphGeometry StoreGraphGeometry::compute(int width, int height, int recordCount)
{
    StoreGraphGeometry g;
    g.L = width / 8;
    g.Y0 = height * 3 / 5;
    g.T = g.Y0 / 20;
    g.B = g.Y0 - 2 * g.T;
    g.P = g.Y0 - 3 * g.T;
    g.R = width - g.L / 2;
    g.yTick = g.P / 10;
    g.xTick = (width - (3 * g.L) / 2) / 10;
    g.GraphLeft = g.L;
    g.GraphBaseline = g.B;
    g.GraphXStep = static_cast<float>(static_cast<double>(width - (3 * g.L) / 2) / (recordCount + 1.0));
    g.GraphYScale = static_cast<float>(g.P * 0.01);
    return g;
}

// The product is taken exactly: the scale is a float and the value at most 100.
int StoreTraceHeight(const std::uint8_t *record, int offset, int divisor, float yScale)
{
    const int number = StoredNumber(record, offset);
    if (number < 0)
        return 0;
    const int v = std::min(number / divisor, 100);
    return static_cast<int>(v * static_cast<double>(yScale));
}

namespace {

// Heights of the stored numbers 0 up to the first that reaches the top of the scale, so a
// trace over millions of records costs a table look-up a record instead of a division.
class HeightTable {
public:
    HeightTable(int divisor, float yScale)
    {
        const int size = std::min(32768, 100 * divisor + 1);
        heights_.resize(static_cast<std::size_t>(size));
        std::uint8_t record[kRecordSize] = {};
        for (int number = 0; number < size; ++number) {
            record[0] = static_cast<std::uint8_t>(number >> 8);
            record[1] = static_cast<std::uint8_t>(number & 0xFF);
            heights_[static_cast<std::size_t>(number)] = StoreTraceHeight(record, 0, divisor, yScale);
        }
        record[0] = 0x7F;
        record[1] = 0xFF;
        top_ = StoreTraceHeight(record, 0, divisor, yScale);
    }
    int operator()(const std::uint8_t *record, int offset) const
    {
        const int number = StoredNumber(record, offset);
        if (number < 0)
            return 0;
        return static_cast<std::size_t>(number) < heights_.size() ? heights_[static_cast<std::size_t>(number)] : top_;
    }

private:
    std::vector<int> heights_;
    int top_ = 0;
};

} // namespace

namespace {

// The lines of one trace while the records are walked: a column's lowest and highest
// point, its last point and how many points fell on it.
struct TraceColumns {
    HeightTable height;
    int offset;
    std::vector<QLine> lines;
    int low = 0, high = 0, last = 0;
};

} // namespace

std::vector<std::vector<QLine>> StoreTraceLines(const StoreGraphGeometry &g, const QByteArray &data, int recordCount,
                                                const std::vector<std::pair<int, int>> &traces)
{
    std::vector<std::vector<QLine>> result(traces.size());
    const int n = std::min(recordCount, static_cast<int>(data.size() / kRecordSize));
    if (n <= 0 || traces.empty())
        return result;
    std::vector<TraceColumns> t;
    t.reserve(traces.size());
    for (const auto &[offset, divisor] : traces)
        t.push_back({HeightTable(divisor, g.GraphYScale), offset, {}});

    // All traces in one walk over the records, so a large file passes through the cache once.
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(data.constData());
    float x = static_cast<float>(g.GraphLeft);
    int column = static_cast<int>(x);
    for (auto &c : t)
        c.low = c.high = c.last = g.GraphBaseline - c.height(bytes, c.offset);
    int points = 1;
    x += g.GraphXStep;
    for (int i = 1; i < n; ++i) {
        const std::uint8_t *record = bytes + static_cast<qsizetype>(i) * kRecordSize;
        const int xi = static_cast<int>(x);
        x += g.GraphXStep;
        if (xi == column) {
            for (auto &c : t) {
                const int y = g.GraphBaseline - c.height(record, c.offset);
                c.low = std::min(c.low, y);
                c.high = std::max(c.high, y);
                c.last = y;
            }
            ++points;
            continue;
        }
        for (auto &c : t) {
            const int y = g.GraphBaseline - c.height(record, c.offset);
            if (points > 1)
                c.lines.emplace_back(column, c.low, column, c.high);
            c.lines.emplace_back(column, c.last, xi, y);
            c.low = c.high = c.last = y;
        }
        column = xi;
        points = 1;
    }
    for (std::size_t k = 0; k < t.size(); ++k) {
        if (points > 1)
            t[k].lines.emplace_back(column, t[k].low, column, t[k].high);
        result[k] = std::move(t[k].lines);
    }
    return result;
}

void PlotStoreTrace(QPainter &painter, const StoreGraphGeometry &g, const QByteArray &data, int recordCount, int offset,
                    int divisor)
{
    const auto lines = StoreTraceLines(g, data, recordCount, {{offset, divisor}});
    for (const QLine &line : lines[0])
        painter.drawLine(line);
}

void PlotStoreTracePlain(QPainter &painter, const StoreGraphGeometry &g, const QByteArray &data, int recordCount,
                         int offset, int divisor)
{
    const int n = std::min(recordCount, static_cast<int>(data.size() / kRecordSize));
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(data.constData());
    float x = static_cast<float>(g.GraphLeft);
    QPoint previous;
    for (int i = 0; i < n; ++i) {
        const QPoint p(static_cast<int>(x),
                       g.GraphBaseline - StoreTraceHeight(bytes + static_cast<qsizetype>(i) * kRecordSize, offset,
                                                          divisor, g.GraphYScale));
        if (i > 0)
            painter.drawLine(previous, p);
        previous = p;
        x += g.GraphXStep;
    }
}

// ---- window ----------------------------------------------------------------------------

namespace {
QFont pixelFont(const QString &family, int pixels, bool bold, QFont::StyleHint hint)
{
    QFont f(family);
    f.setStyleHint(hint);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}
constexpr int kListWidth = 449;
constexpr int kListRows = 12;
} // namespace

TForm11::TForm11(ui::SharedState &state, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      state_(state)
{
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(QStringLiteral("STORE"));
    setFont(pixelFont(QStringLiteral("MS Sans Serif"), 11, false, QFont::SansSerif));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);

    model_ = new StoreListModel(this);
    ListBox1 = new QListView(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setFont(pixelFont(QStringLiteral("Courier New"), 11, false, QFont::TypeWriter));
    ListBox1->setUniformItemSizes(true);
    ListBox1->setItemDelegate(new StoreRowDelegate(ListBox1));
    ListBox1->setModel(model_);
    ListBox1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Twelve whole rows inside the frame, whatever the style's frame width.
    ListBox1->resize(kListWidth, kListRows * StoreRowDelegate::kRowHeight + 2 * ListBox1->frameWidth());

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(pixelFont(QStringLiteral("Courier New"), 13, true, QFont::TypeWriter));
    Label1->setTextFormat(Qt::PlainText);

    Button1 = new QPushButton(QStringLiteral("&Main Menu"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->resize(75, 25);
    Button1->setAutoDefault(false);
    Button2 = new QPushButton(QStringLiteral("&Print"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->resize(75, 25);
    Button2->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TForm11::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm11::Button2Click);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(0, 24, 73, 177);
    static constexpr std::array<int, 7> kTops = {11, 35, 59, 83, 107, 128, 152};
    for (std::size_t i = 0; i < kStoreTraces.size(); ++i) {
        auto *box = new QCheckBox(QString::fromLatin1(kStoreTraces[i].caption), Panel1);
        box->setObjectName(QStringLiteral("CheckBox%1").arg(i + 1));
        box->setFont(pixelFont(QStringLiteral("MS Sans Serif"), 13, kStoreTraces[i].bold, QFont::SansSerif));
        QPalette bp = box->palette();
        bp.setColor(QPalette::WindowText, QColor::fromRgb(kStoreTraces[i].colour));
        box->setPalette(bp);
        box->setGeometry(8, kTops[i], 60, 17);
        box->setChecked(true);
        connect(box, &QCheckBox::clicked, this, &TForm11::CheckBox1Click);
        CheckBoxes[i] = box;
    }

    resize(616, 471);
    layoutControls();
}

void TForm11::layoutControls()
{
    const int w = width();
    const int h = height();
    ListBox1->move((w - ListBox1->width()) / 2, h * 7 / 11);
    Label1->move(ListBox1->x(), ListBox1->y() - 18);
    Label1->adjustSize();
    Button1->move(w / 20, ListBox1->y());
    Button2->move(w / 20, ListBox1->y() + 35);
}

void TForm11::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    layoutControls();
}

void TForm11::showRecords(int currentYear)
{
    Label1->setText(kListHeader);
    Label1->adjustSize();
    model_->setRecords(state_.StoreData, state_.StoreRecordCount, currentYear);
}

void TForm11::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    DrawStoreGraph(painter);
}

void TForm11::DrawStoreGraph(QPainter &painter)
{
    const StoreGraphGeometry g = StoreGraphGeometry::compute(width(), height(), state_.StoreRecordCount);
    GraphLeft = g.GraphLeft;
    GraphBaseline = g.GraphBaseline;
    GraphXStep = g.GraphXStep;
    GraphYScale = g.GraphYScale;

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(g.L, g.T, g.R - g.L, g.B - g.T), Qt::white);
    const QColor text = palette().color(QPalette::WindowText);
    const QPen axisPen(Qt::white);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(palette().color(QPalette::Button));
    painter.setFont(font());
    const int ascent = painter.fontMetrics().ascent();
    const auto textAt = [&](int x, int y, const QString &s) {
        painter.setPen(text);
        painter.drawText(QPoint(x, y + ascent), s);
        painter.setPen(axisPen);
    };

    painter.setPen(axisPen);
    painter.drawLine(g.L, g.T, g.L, g.B);
    painter.drawLine(g.L, g.B, g.R, g.B);
    for (int k = 0; k <= 10; ++k) {
        const int y = g.B - k * g.yTick;
        painter.drawLine(g.L, y, g.L - 10, y);
        textAt(g.L - 24, y - 5, QString::asprintf(" %.1f", 0.1 * 2 * k));
    }
    textAt(g.L / 2, g.B - 11 * g.yTick + g.T / 2, QStringLiteral("2%/2000 PPM GAS"));
    for (int k = 0; k <= 10; ++k) {
        const int x = g.L + k * g.xTick;
        painter.drawLine(x, g.B, x, g.B + 10);
        textAt(x - 5, g.B + 10, QString::number(10 * k));
    }
    textAt(g.L + 11 * g.xTick - (g.L / 2 + 8), g.B - 8, QStringLiteral("%Time"));

    painter.setBackgroundMode(Qt::TransparentMode);
    std::vector<std::pair<int, int>> traces;
    std::vector<QRgb> colours;
    for (std::size_t i = 0; i < kStoreTraces.size(); ++i) {
        if (CheckBoxes[i]->isChecked()) {
            traces.emplace_back(kStoreTraces[i].offset, kStoreTraces[i].divisor);
            colours.push_back(kStoreTraces[i].colour);
        }
    }
    // Later traces are drawn over earlier ones, in the order of the table.
    const auto lines = StoreTraceLines(g, state_.StoreData, state_.StoreRecordCount, traces);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        painter.setPen(QPen(QColor::fromRgb(colours[k])));
        for (const QLine &line : lines[k])
            painter.drawLine(line);
    }
}

void TForm11::CheckBox1Click()
{
    repaint();
}

void TForm11::Button1Click()
{
    model_->clear();
    state_.StoreData.clear();
    state_.StoreData.squeeze();
    close();
}

void TForm11::Button2Click()
{
    if (state_.printing == nullptr)
        return;
    std::unique_ptr<QPrinter> printer = state_.printing->startJob(this, windowTitle());
    if (!printer)
        return;
    const QPixmap image = grab();
    const qreal dpr = image.devicePixelRatio();
    const qreal sx = static_cast<qreal>(printer->logicalDpiX()) / logicalDpiX();
    const qreal sy = static_cast<qreal>(printer->logicalDpiY()) / logicalDpiY();
    QPainter painter(printer.get());
    painter.drawPixmap(QRectF(0, 0, image.width() / dpr * sx, image.height() / dpr * sy), image, QRectF(image.rect()));
}

} // namespace qova::store
