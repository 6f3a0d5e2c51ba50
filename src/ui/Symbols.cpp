#include "ui/Symbols.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QtMath>

#include <cmath>

namespace tandrel {
namespace {

// Symbols are drawn on a 24-unit square; strokes are 2 units, a twelfth of the size.
constexpr qreal grid = 24.0;
constexpr qreal stroke = 2.0;

// Continues the path to `corner`, rounding it off with `radius` towards `next`. Open
// outlines (a square with a gap, a folder with its tab) are built corner by corner with it.
void cornerTo(QPainterPath &path, QPointF corner, QPointF next, qreal radius)
{
    const QPointF from = path.currentPosition();
    const auto towards = [radius](QPointF a, QPointF b) {
        const QPointF d = b - a;
        const qreal length = std::hypot(d.x(), d.y());
        return a + d * (radius / length);
    };
    path.lineTo(towards(corner, from));
    path.quadTo(corner, towards(corner, next));
}

void drawGlobe(QPainter &p)
{
    const QPointF c(12, 12);
    p.drawEllipse(c, 9, 9);
    p.drawEllipse(c, 4, 9);
    // Two latitudes as chords, ending a little inside the rim so the caps do not bulge.
    const qreal y = 4.2;
    const qreal half = std::sqrt(81 - y * y) - 0.8;
    p.drawLine(QPointF(12 - half, 12 - y), QPointF(12 + half, 12 - y));
    p.drawLine(QPointF(12 - half, 12 + y), QPointF(12 + half, 12 + y));
}

// An open arrowhead (two strokes) with its tip at `tip`, pointing along `direction` (degrees,
// counter-clockwise from the x axis, as on the screen).
void drawArrowHead(QPainter &p, QPointF tip, qreal direction)
{
    const qreal length = 4.2;
    for (const qreal spread : { 135.0, -135.0 }) {
        const qreal angle = qDegreesToRadians(direction + spread);
        p.drawLine(tip, tip + QPointF(std::cos(angle), -std::sin(angle)) * length);
    }
}

void drawArrowClockwise(QPainter &p)
{
    // A circle run clockwise from one o'clock round to just past the top; the head there
    // points on along the turn, across the gap. Angles count counter-clockwise from 3 o'clock.
    const QRectF circle(4, 4.5, 16, 16);
    const qreal start = 60, end = 100;
    QPainterPath arc;
    arc.arcMoveTo(circle, start);
    arc.arcTo(circle, start, -(360 - (end - start)));
    p.drawPath(arc);
    // Moving clockwise, the tangent at angle a points at a - 90 degrees.
    drawArrowHead(p, arc.currentPosition(), end - 90);
}

void drawMagnifyingGlass(QPainter &p)
{
    p.drawEllipse(QPointF(10.5, 10.5), 6.5, 6.5);
    QPen handle = p.pen();
    handle.setWidthF(stroke * 1.25);
    p.setPen(handle);
    p.drawLine(QPointF(15.4, 15.4), QPointF(20.5, 20.5));
}

void drawLockFill(QPainter &p)
{
    QPainterPath shackle;
    shackle.moveTo(8, 11);
    shackle.lineTo(8, 8);
    shackle.arcTo(QRectF(8, 4, 8, 8), 180, -180);
    shackle.lineTo(16, 11);
    p.drawPath(shackle);
    QPainterPath body;
    body.addRoundedRect(QRectF(5, 10.5, 14, 10.5), 2.5, 2.5);
    p.fillPath(body, p.pen().color());
}

void drawOpenApp(QPainter &p)
{
    // A rounded square open at its top-right corner, an arrow leaving through the opening.
    QPainterPath square;
    square.moveTo(11, 4);
    cornerTo(square, QPointF(4, 4), QPointF(4, 20), 3);
    cornerTo(square, QPointF(4, 20), QPointF(20, 20), 3);
    cornerTo(square, QPointF(20, 20), QPointF(20, 4), 3);
    square.lineTo(20, 13);
    p.drawPath(square);
    p.drawLine(QPointF(11, 13), QPointF(20, 4));
    QPainterPath head;
    head.moveTo(14, 4);
    head.lineTo(20, 4);
    head.lineTo(20, 10);
    p.drawPath(head);
}

void drawFolder(QPainter &p)
{
    QPainterPath folder;
    folder.moveTo(3, 12);
    cornerTo(folder, QPointF(3, 5), QPointF(9.5, 5), 1.5);
    folder.lineTo(9, 5);
    folder.lineTo(11.5, 7.5);
    cornerTo(folder, QPointF(21, 7.5), QPointF(21, 19), 1.5);
    cornerTo(folder, QPointF(21, 19), QPointF(3, 19), 1.5);
    cornerTo(folder, QPointF(3, 19), QPointF(3, 5), 1.5);
    folder.closeSubpath();
    p.drawPath(folder);
    p.drawLine(QPointF(3, 10.5), QPointF(21, 10.5));
}

void drawTrash(QPainter &p)
{
    p.drawLine(QPointF(3.5, 6), QPointF(20.5, 6));
    QPainterPath handle;
    handle.moveTo(9, 6);
    cornerTo(handle, QPointF(9, 3), QPointF(15, 3), 1);
    cornerTo(handle, QPointF(15, 3), QPointF(15, 6), 1);
    handle.lineTo(15, 6);
    p.drawPath(handle);
    QPainterPath can;
    can.moveTo(5.5, 6);
    can.lineTo(6.6, 19);
    can.quadTo(6.8, 21, 8.8, 21);
    can.lineTo(15.2, 21);
    can.quadTo(17.2, 21, 17.4, 19);
    can.lineTo(18.5, 6);
    p.drawPath(can);
    p.drawLine(QPointF(10, 10.5), QPointF(10, 16.5));
    p.drawLine(QPointF(14, 10.5), QPointF(14, 16.5));
}

// Draws the symbol into `target`, a square in the painter's coordinates.
void drawSymbol(QPainter &painter, Symbol symbol, const QColor &color, const QRectF &target)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(target.topLeft());
    painter.scale(target.width() / grid, target.height() / grid);
    painter.setPen(QPen(color, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    switch (symbol) {
    case Symbol::Globe:
        drawGlobe(painter);
        break;
    case Symbol::ArrowClockwise:
        drawArrowClockwise(painter);
        break;
    case Symbol::MagnifyingGlass:
        drawMagnifyingGlass(painter);
        break;
    case Symbol::LockFill:
        drawLockFill(painter);
        break;
    case Symbol::OpenApp:
        drawOpenApp(painter);
        break;
    case Symbol::Folder:
        drawFolder(painter);
        break;
    case Symbol::Trash:
        drawTrash(painter);
        break;
    }
    painter.restore();
}

QColor colorFor(QIcon::Mode mode)
{
    const QPalette palette = QGuiApplication::palette();
    switch (mode) {
    case QIcon::Disabled:
        return palette.color(QPalette::Disabled, QPalette::ButtonText);
    case QIcon::Selected:
        return palette.color(QPalette::Active, QPalette::HighlightedText);
    case QIcon::Normal:
    case QIcon::Active:
        break;
    }
    return palette.color(QPalette::Active, QPalette::ButtonText);
}

// Paints the symbol afresh for every size, mode and device pixel ratio, in the palette
// in force at that moment, so icons follow a change to a dark palette too.
class SymbolIconEngine : public QIconEngine
{
public:
    SymbolIconEngine(Symbol symbol, qreal pointSize)
        : m_symbol(symbol)
        , m_pointSize(pointSize)
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal side = qMin(rect.width(), rect.height());
        const QRectF square(
            rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side, side);
        drawSymbol(*painter, m_symbol, colorFor(mode), square);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        const int side = qRound(m_pointSize);
        return { QSize(side, side) };
    }

    QIconEngine *clone() const override { return new SymbolIconEngine(m_symbol, m_pointSize); }
    QString key() const override { return QStringLiteral("tandrel-symbol"); }

private:
    Symbol m_symbol;
    qreal m_pointSize = 0;
};

} // namespace

QPixmap symbolPixmap(Symbol symbol, const QColor &color, qreal pointSize, qreal devicePixelRatio)
{
    const int side = qMax(1, qRound(pointSize * devicePixelRatio));
    QPixmap pixmap(side, side);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const qreal logical = side / devicePixelRatio;
    drawSymbol(painter, symbol, color, QRectF(0, 0, logical, logical));
    return pixmap;
}

QIcon symbolIcon(Symbol symbol, qreal pointSize)
{
    return QIcon(new SymbolIconEngine(symbol, pointSize));
}

} // namespace tandrel
