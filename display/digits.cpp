#include "display/digits.h"

#include <cstdio>

namespace qova::display {

std::vector<PlacedGlyph> DrawBigNumber(int x, int y, std::int16_t value, DigitMode mode, int pointWidth, GlyphSize size)
{
    const int w = size.w;
    char chars[8] = {};
    std::snprintf(chars, sizeof chars, mode == DigitMode::BlankAndThree ? "%03d" : "%04d", static_cast<int>(value));
    auto glyphOf = [&chars](int i) {
        const char c = chars[i];
        return c >= '0' && c <= '9' ? c - '0' : kBlankGlyph;
    };

    std::vector<PlacedGlyph> out;
    if (mode == DigitMode::BlankAndThree) {
        out.push_back({kBlankGlyph, {x, y}});
        out.push_back({glyphOf(0), {x + w, y}});
        out.push_back({glyphOf(1), {x + 2 * w, y}});
        if (pointWidth != 0)
            out.push_back({kPointGlyph, {x + 3 * w, y}});
        out.push_back({glyphOf(2), {x + 3 * w + pointWidth, y}});
    } else {
        out.push_back({glyphOf(0), {x, y}});
        out.push_back({glyphOf(1), {x + w, y}});
        if (pointWidth != 0)
            out.push_back({kPointGlyph, {x + 2 * w, y}});
        out.push_back({glyphOf(2), {x + 2 * w + pointWidth, y}});
        out.push_back({glyphOf(3), {x + 3 * w + pointWidth, y}});
    }
    return out;
}

DisplayLayout ComputeLayout(int screenWidth, GlyphSize size)
{
    const int w = size.w, h = size.h, p = size.p;
    DisplayLayout l{};
    l.x0 = (screenWidth - (8 * w + 2 * p + 20)) / 2;
    l.co = {l.x0, 20};
    l.co2 = {l.x0 + 4 * w + p + 20, 20};
    l.o2 = {l.x0 + p / 2, h + 40};
    l.hc = {l.x0 + 4 * w + p + 20, h + 40};

    // The labels were placed for a screen 1024 pixels wide; elsewhere they move as far as
    // the figures did, or they would stand over the wrong gas.
    const int shift = l.x0 - (1024 - (8 * w + 2 * p + 20)) / 2;
    l.label1 = {shift + 2 * w + 20, 4};
    l.label2 = {shift + 6 * w + 40, 4};
    l.label3 = {shift + 2 * w + 20, h + 24};
    l.label4 = {shift + 6 * w + 40, h + 24};

    l.d = (5 * h) / 2;
    l.X = (screenWidth - 690) / 2;
    const int d = l.d, X = l.X;
    l.panel8 = {X - 10, d - 26};
    l.panel9 = {screenWidth / 2 - kPanel9Width / 2, d + 96};
    l.panel1 = {X, d - 12};
    l.panel2 = {X + 160, d - 12};
    l.panel5 = {X + 320, d - 12};
    l.panel7 = {X + 480, d - 4};
    l.panel3 = {X, d + 38};
    l.panel4 = {X + 160, d + 38};
    l.panel6 = {X + 320, d + 38};
    return l;
}

QRect FigureBox(const DisplayLayout &l, Figure figure, GlyphSize size)
{
    // Four glyph widths each; HC has no point.
    switch (figure) {
    case Figure::Co:
        return {l.co, QSize(4 * size.w + size.p, size.h)};
    case Figure::Co2:
        return {l.co2, QSize(4 * size.w + size.p, size.h)};
    case Figure::O2:
        return {l.o2, QSize(4 * size.w + size.p, size.h)};
    case Figure::Hc:
        return {l.hc, QSize(4 * size.w, size.h)};
    }
    return {};
}

QPoint LabelPosition(const DisplayLayout &l, Figure figure)
{
    switch (figure) {
    case Figure::Co:
        return l.label1;
    case Figure::Co2:
        return l.label2;
    case Figure::O2:
        return l.label3;
    case Figure::Hc:
        return l.label4;
    }
    return {};
}

std::vector<PlacedGlyph> FigureGlyphs(const link::LiveReading &r, const DisplayLayout &l, GlyphSize size)
{
    std::vector<PlacedGlyph> out;
    auto add = [&out](std::vector<PlacedGlyph> glyphs) { out.insert(out.end(), glyphs.begin(), glyphs.end()); };
    add(DrawBigNumber(l.co.x(), l.co.y(), r.Co, DigitMode::Four, size.p, size));
    add(DrawBigNumber(l.co2.x(), l.co2.y(), r.Co2, DigitMode::BlankAndThree, size.p, size));
    add(DrawBigNumber(l.o2.x(), l.o2.y(), r.O2, DigitMode::Four, size.p, size));
    add(DrawBigNumber(l.hc.x(), l.hc.y(), r.Hc, DigitMode::Four, 0, size));
    return out;
}

} // namespace qova::display
