#pragma once
// Colours that stay readable on whatever background the desktop's palette
// gives, and labels that stay readable in whatever font it gives.
#include <QColor>

class QLabel;
class QWidget;

namespace zelt {

// The contrast of two colours as accessibility guidelines measure it:
// (L1 + 0.05) / (L2 + 0.05) of their relative luminances, from 1 to 21.
// Text wants 4.5 or more, lines and marks 3 or more.
double relativeLuminance(const QColor& colour);
double contrastRatio(const QColor& a, const QColor& b);
inline constexpr double kTextContrast = 4.5;
inline constexpr double kLineContrast = 3.0;

// Whether white stands out from the background more than black does.
bool isDarkBackground(const QColor& background);

// The colour itself where it stands out from the background by the ratio;
// else the colour moved towards white (dark background) or black (light
// one) by the least step that reaches the ratio.
QColor readableOn(const QColor& colour, const QColor& background, double ratio);

// a and b mixed: t = 0 gives a, t = 1 gives b.
QColor mixColours(const QColor& a, const QColor& b, double t);

// Shows a label's text in the colour given where the label's background
// lets it read as text, else in the nearest colour that does; again
// whenever the palette changes.
void keepTextReadable(QLabel* label, const QColor& colour);

// A window of fixed layout keeps its labels readable in any font: a label
// whose text is wider or taller than its place grows into the free room
// beside it (up to half way to a neighbouring label, up to any other
// control or the window's edge); where the room is not wide enough it shows
// its text elided, whole in its tooltip (above a tooltip of the window's
// own), and where it is not tall enough it takes a smaller font, down to
// 60 %. Its push buttons likewise: a caption wider than its button grows
// the button into the room beside it that no other control holds, and what
// still does not fit is painted elided, the whole caption in the tooltip;
// the caption itself (the button's text) stays as it is. Applies to every
// label and button of the window, now and whenever a text, the font or the
// window's size changes.
void fitLabelsToText(QWidget* window);

}  // namespace zelt
