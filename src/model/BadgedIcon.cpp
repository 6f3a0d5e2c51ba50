#include "model/BadgedIcon.h"

#include "model/Store.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHashFunctions>
#include <QPainter>
#include <QTextBoundaryFinder>

namespace tandrel {
namespace {

// Geometry in canvas points, origin at the top left.
constexpr qreal canvas = 512;
const QRectF ringRect(286, 286, 214, 214);
const QRectF badgeRect(298, 298, 190, 190);
const QPointF badgeCentre(393, 393);
constexpr qreal letterSize = 118;

} // namespace

const QList<QColor> &badgeColors()
{
    // The desktop's standard light-appearance accent colours.
    static const QList<QColor> colors {
        QColor(0, 122, 255), // blue
        QColor(175, 82, 222), // purple
        QColor(255, 45, 85), // pink
        QColor(255, 149, 0), // orange
        QColor(48, 176, 199), // teal
        QColor(52, 199, 89), // green
        QColor(88, 86, 214), // indigo
    };
    return colors;
}

QColor badgeColorFor(const QString &name)
{
    // Seeded afresh by each process: one name keeps its colour for the whole run.
    const quint64 hash = quint64(qHash(name, QHashSeed::globalSeed()));
    return badgeColors().at(int(hash % quint64(badgeColors().size())));
}

QString badgeLetter(const QString &name)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, name);
    const qsizetype end = finder.toNextBoundary();
    return name.left(end > 0 ? end : name.size()).toUpper();
}

QImage renderBadgedIcon(const QImage &icon, const QString &spaceName)
{
    QImage image(badgedIconPixels, badgedIconPixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(
        QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    painter.scale(badgedIconPixels / canvas, badgedIconPixels / canvas);
    painter.drawImage(QRectF(0, 0, canvas, canvas), icon);

    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(ringRect);
    painter.setBrush(badgeColorFor(spaceName));
    painter.drawEllipse(badgeRect);

    QFont font(QStringLiteral("sans-serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(int(letterSize));
    font.setWeight(QFont::Bold);
    const QString letter = badgeLetter(spaceName);
    const QFontMetricsF metrics(font);
    const qreal width = metrics.horizontalAdvance(letter);
    const qreal height = metrics.height();
    painter.setFont(font);
    painter.setPen(Qt::white);
    // Centre the text box (advance by line height) on the badge.
    const QPointF baseline(badgeCentre.x() - width / 2, badgeCentre.y() - height / 2 + metrics.ascent());
    painter.drawText(baseline, letter);
    painter.end();
    return image;
}

QColor Store::badgeColor(const QString &name)
{
    return badgeColorFor(name);
}

} // namespace tandrel
