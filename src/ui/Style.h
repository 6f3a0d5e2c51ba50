#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPixmap>

class QPainter;
class QWidget;

namespace tandrel::style {

// Sizes are given in the desktop's logical points of 1/72 inch on a 72-dpi basis, as
// the macOS toolkit counts them; on other platforms a "point" is one logical pixel,
// so the window has the same proportions everywhere.
QFont font(qreal size, QFont::Weight weight = QFont::Normal);
// A rounded-looking bold face for the app's name, falling back to the sans-serif one.
QFont roundedTitleFont(qreal size);

// The palette's text colour, and the dimmed one for secondary text.
QColor primaryText(const QPalette &palette);
QColor secondaryText(const QPalette &palette);
// A colour at an opacity.
QColor withAlpha(QColor color, qreal opacity);

// Sets the colour a label or any text-drawing widget paints its text in.
void setTextColor(QWidget *widget, const QColor &color);
// Fills the rectangle, rounded by the radius, with the colour.
void fillRounded(QPainter &painter, const QRectF &rect, qreal radius, const QColor &color);
// The image scaled to fit a square of `side` points, sharp at the device pixel ratio.
QPixmap iconPixmap(const QImage &image, int side, qreal devicePixelRatio);

// Gives a push button the filled accent look of a window's primary action.
void makeProminent(QWidget *button);

// The system orange used for everything about sandboxed apps.
inline QColor orange() { return QColor(255, 149, 0); }
// The system red used for destructive actions.
inline QColor red() { return QColor(255, 59, 48); }

} // namespace tandrel::style
