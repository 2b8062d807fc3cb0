// Paints the digit glyphs bit0.png to bit11.png into the folder named on the command line:
// the digits 0 to 9 as seven-segment figures (90 x 150), the decimal point (12 x 150) and
// a blank (90 x 150), lit green on black.
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <array>
#include <cstdio>

namespace {

constexpr int kDigitWidth = 90;
constexpr int kDigitHeight = 150;
constexpr int kPointWidth = 12;

// Segment box and stroke. The gap keeps neighbouring segments apart, as on a real display.
constexpr double kLeft = 14, kRight = 76, kTop = 14, kBottom = 136, kThick = 13, kGap = 1.6;
const QColor kLit(0x28, 0xff, 0x4a);
const QColor kEdge(0xa8, 0xff, 0xb8);

QPolygonF horizontal(double y)
{
    const double l = kLeft + kThick / 2 + kGap, r = kRight - kThick / 2 - kGap, h = kThick / 2;
    return QPolygonF({{l, y}, {l + h, y - h}, {r - h, y - h}, {r, y}, {r - h, y + h}, {l + h, y + h}});
}

QPolygonF vertical(double x, double top, double bottom)
{
    const double t = top + kGap, b = bottom - kGap, h = kThick / 2;
    return QPolygonF({{x, t}, {x + h, t + h}, {x + h, b - h}, {x, b}, {x - h, b - h}, {x - h, t + h}});
}

// Segments a to g: top, upper right, lower right, bottom, lower left, upper left, middle.
std::array<QPolygonF, 7> segments()
{
    const double top = kTop + kThick / 2, bottom = kBottom - kThick / 2, middle = (kTop + kBottom) / 2;
    const double left = kLeft + kThick / 2, right = kRight - kThick / 2;
    return {horizontal(top),    vertical(right, top, middle),   vertical(right, middle, bottom),
            horizontal(bottom), vertical(left, middle, bottom), vertical(left, top, middle),
            horizontal(middle)};
}

// Bit n of each entry lights segment n (a = bit 0).
constexpr std::array<int, 10> kDigitSegments = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};

QImage blackImage(int width)
{
    QImage image(width, kDigitHeight, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

void fillLit(QPainter &p, const QPainterPath &path)
{
    p.setPen(QPen(kEdge, 0.8));
    p.setBrush(kLit);
    p.drawPath(path);
}

QImage digit(int value)
{
    QImage image = blackImage(kDigitWidth);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const auto segs = segments();
    for (int s = 0; s < 7; ++s) {
        if (kDigitSegments[value] & (1 << s)) {
            QPainterPath path;
            path.addPolygon(segs[s]);
            path.closeSubpath();
            fillLit(p, path);
        }
    }
    return image;
}

QImage point()
{
    QImage image = blackImage(kPointWidth);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    const double size = kThick - 3;
    path.addRoundedRect(QRectF((kPointWidth - size) / 2, kBottom - size, size, size), 2, 2);
    fillLit(p, path);
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (int i = 0; i < 12; ++i) {
        const QImage image = i < 10 ? digit(i) : i == 10 ? point() : blackImage(kDigitWidth);
        const QString name = out.filePath(QStringLiteral("bit%1.png").arg(i));
        if (!image.save(name)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    return 0;
}
