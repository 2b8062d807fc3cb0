#pragma once

#include "link/livereading.h"

#include <QPoint>
#include <QRect>
#include <cstdint>
#include <vector>

namespace qova::display {

// Glyph indices besides the digits 0 to 9.
inline constexpr int kPointGlyph = 10;
inline constexpr int kBlankGlyph = 11;
inline constexpr int kGlyphCount = 12;

// w and h of the digit glyphs, p the width of the point glyph. The layout follows them.
struct GlyphSize {
    int w = 90;
    int h = 150;
    int p = 12;
};

enum class DigitMode : int {
    BlankAndThree = 1, // a blank glyph, then three digits ("%03d")
    Four = 2,          // four digits ("%04d")
};

struct PlacedGlyph {
    int glyph;
    QPoint at;
    bool operator==(const PlacedGlyph &) const = default;
};

// The glyphs that draw `value` at (x, y), left to right. A point of `pointWidth` goes
// before the last digit in BlankAndThree and before the third in Four; 0 draws none.
// A character of the formatted value that is not a digit (a minus sign) draws a blank.
std::vector<PlacedGlyph> DrawBigNumber(int x, int y, std::int16_t value, DigitMode mode, int pointWidth,
                                       GlyphSize size = {});

// Where everything of the digital display goes on a screen `screenWidth` pixels wide.
struct DisplayLayout {
    int x0;                 // left of the figure block
    QPoint co, co2, o2, hc; // the four figures
    // The labels' top-left corners. The block of figures is centred on the screen, and each
    // label keeps the place over its figure that it has on a screen 1024 pixels wide.
    QPoint label1, label2, label3, label4;
    int d; // (5h) / 2: the top of the panel rows follows the figures
    int X; // left of the value panels
    QPoint panel1, panel2, panel3, panel4, panel5, panel6, panel7, panel8;
    QPoint panel9; // the button row
};
inline constexpr int kPanel9Width = 673;
DisplayLayout ComputeLayout(int screenWidth, GlyphSize size = {});

// The four figures in the order of their labels: CO, CO2, O2, HC.
enum class Figure { Co, Co2, O2, Hc };
inline constexpr Figure kFigures[] = {Figure::Co, Figure::Co2, Figure::O2, Figure::Hc};
// The rectangle the glyphs of `figure` cover, point included; and where its label goes.
QRect FigureBox(const DisplayLayout &layout, Figure figure, GlyphSize size = {});
QPoint LabelPosition(const DisplayLayout &layout, Figure figure);

// The nineteen glyphs of the four figures for a reading already clamped for display:
// CO and O2 as 12.34, CO2 as a blank and 12.3, HC as 1234.
std::vector<PlacedGlyph> FigureGlyphs(const link::LiveReading &reading, const DisplayLayout &layout,
                                      GlyphSize size = {});

} // namespace qova::display
