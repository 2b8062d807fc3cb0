#include "store/ui/storeviewer.h"

#include "store/storedtest.h"
#include "store/storefile.h"
#include "store/storegraph.h"
#include "ui/printing.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <variant>

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

void TForm11::setVisible(bool visible)
{
    // Shown maximized: fill the screen, as the digital display does, even where no window
    // manager honours the state; at its design size the buttons would cover the list.
    if (visible && !isVisible() && windowState().testFlag(Qt::WindowMaximized) && screen() != nullptr)
        setGeometry(screen()->availableGeometry());
    QDialog::setVisible(visible);
}

void TForm11::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // The window system may resize the window while it is being built (Windows does).
    if (Button2 == nullptr)
        return;
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
    const StoreGraphFrame frame = StoreGraphFrameFor(g);
    painter.fillRect(frame.plot, Qt::white);
    const QColor text = palette().color(QPalette::WindowText);
    const QPen axisPen(Qt::white);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(palette().color(QPalette::Button));
    painter.setFont(font());
    const int ascent = painter.fontMetrics().ascent();
    painter.setPen(axisPen);
    for (const StoreGraphMark &mark : frame.marks) {
        if (const auto *line = std::get_if<QLine>(&mark)) {
            painter.drawLine(*line);
            continue;
        }
        const auto &label = std::get<StoreGraphLabel>(mark);
        painter.setPen(text);
        painter.drawText(QPoint(label.at.x(), label.at.y() + ascent), label.text);
        painter.setPen(axisPen);
    }

    painter.setBackgroundMode(Qt::TransparentMode);
    std::array<bool, kStoreTraces.size()> shown{};
    for (std::size_t i = 0; i < kStoreTraces.size(); ++i)
        shown[i] = CheckBoxes[i]->isChecked();
    for (const StoreTraceDrawing &trace : StoreGraphTraces(g, state_.StoreData, state_.StoreRecordCount, shown)) {
        painter.setPen(QPen(QColor::fromRgb(trace.colour)));
        for (const QLine &line : trace.lines)
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
