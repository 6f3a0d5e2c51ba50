#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPixmap>

class QPainter;
class QPushButton;
class QWidget;

namespace tandrel::style {

// Sizes are given in the desktop's logical points of 1/72 inch on a 72-dpi basis, as
// the macOS toolkit counts them; on other platforms a "point" is one logical pixel,
// so the window has the same proportions everywhere.
QFont font(qreal size, QFont::Weight weight = QFont::Normal);
// A rounded-looking bold face for the app's name, falling back to the sans-serif one.
QFont roundedTitleFont(qreal size);

// The palette's text colour, and the dimmed one for secondary text (dimmed no further than
// 4.5:1 on the window and the tinted surfaces below).
QColor primaryText(const QPalette &palette);
QColor secondaryText(const QPalette &palette);
// A colour at an opacity.
QColor withAlpha(QColor color, qreal opacity);

// Whether the palette is a dark one: light text on a dark window.
bool isDark(const QPalette &palette);
// The WCAG contrast ratio of two opaque colours, from 1 to 21.
qreal contrast(const QColor &a, const QColor &b);
// The colour made darker (against a light colour) or lighter (against a dark one), keeping
// its hue, until it reaches the ratio against `against`.
QColor withContrast(QColor color, const QColor &against, qreal ratio);

// Opacities of the tints that surfaces put over the window, behind text.
namespace tint {
inline constexpr qreal row = 0.04;
inline constexpr qreal rowHovered = 0.07;
inline constexpr qreal field = 0.06;
inline constexpr qreal card = 0.08; // a hovered app card
inline constexpr qreal badge = 0.15; // orange, behind "not duplicable"
inline constexpr qreal warning = 0.12; // orange, behind the sheet's sandbox warning
inline constexpr qreal explanation = 0.08; // orange, behind the sandbox explanation
} // namespace tint

// Sets the colour a label or any text-drawing widget paints its text in.
void setTextColor(QWidget *widget, const QColor &color);
// Fills the rectangle, rounded by the radius, with the colour.
void fillRounded(QPainter &painter, const QRectF &rect, qreal radius, const QColor &color);
// The image scaled to fit a square of `side` points, sharp at the device pixel ratio.
QPixmap iconPixmap(const QImage &image, int side, qreal devicePixelRatio);

// Gives a push button the filled accent look of a window's primary action. The button is
// painted here rather than by the style, which may lighten the fill behind the text.
void makeProminent(QPushButton *button);
// The prominent button's fill: the palette's highlight, darkened until its text reads at 4.5:1.
QColor accent(const QPalette &palette);
// The text and symbols on the accent fill.
QColor onAccent();
// The ring of a focused control: the highlight, at 3:1 at least against the window and what
// the ring is drawn over.
QColor focusRing(const QPalette &palette);
// Draws the focus ring just inside `rect`.
void paintFocusRing(QPainter &painter, const QRectF &rect, qreal radius, const QPalette &palette);
// Sets the colour of a line edit's placeholder (Qt's own reaches under 4:1 on a tinted field).
void setPlaceholderColor(QWidget *edit, const QColor &color);

// The system orange used for the tints of everything about sandboxed apps.
inline QColor orange()
{
    return QColor(255, 149, 0);
}
// The system red used for destructive actions.
inline QColor red()
{
    return QColor(255, 59, 48);
}
// Texts and symbols in those colours, shaded to read at 4.5:1 on the palette's window,
// buttons and tints: the bright system colours themselves only reach 2 to 3.5:1.
QColor sandboxText(const QPalette &palette);
QColor destructiveText(const QPalette &palette);

} // namespace tandrel::style
