#include "model/BadgedIcon.h"

#include "model/Store.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHashFunctions>
#include <QPainter>
#include <QPainterPath>
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
    static const QList<QColor> colors = [] {
        QList<QColor> list;
        for (const BadgeColor &entry : badgePalette())
            list << entry.color;
        return list;
    }();
    return colors;
}

QString badgeColorNameFor(const QString &name)
{
    // Seeded afresh by each process: one name keeps its colour for the whole run.
    const quint64 hash = quint64(qHash(name, QHashSeed::globalSeed()));
    return badgePalette().at(int(hash % quint64(badgePalette().size()))).name;
}

QColor badgeColorFor(const QString &name)
{
    return badgeColorValue(badgeColorNameFor(name));
}

QString shownBadgeColor(const QString &spaceName, const Badge &badge)
{
    return badge.color.isEmpty() ? badgeColorNameFor(spaceName) : badge.color;
}

QString badgeLetter(const QString &name)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, name);
    const qsizetype end = finder.toNextBoundary();
    return name.left(end > 0 ? end : name.size()).toUpper();
}

QString badgeText(const QString &spaceName, const Badge &badge)
{
    return badge.label.isEmpty() ? badgeLetter(spaceName) : badge.label;
}

QColor badgeColorOf(const QString &spaceName, const Badge &badge)
{
    const QColor chosen = badgeColorValue(badge.color);
    return chosen.isValid() ? chosen : badgeColorFor(spaceName);
}

QImage renderBadgedIcon(const QImage &icon, const QString &spaceName, const Badge &badge)
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
    QImage picture;
    if (!badge.image.isEmpty())
        picture.loadFromData(badge.image, "PNG");
    if (!picture.isNull()) {
        QPainterPath disc;
        disc.addEllipse(badgeRect);
        painter.setClipPath(disc);
        painter.drawImage(badgeRect, picture);
        painter.end();
        return image;
    }
    const QColor background = badgeColorOf(spaceName, badge);
    painter.setBrush(background);
    painter.drawEllipse(badgeRect);

    QFont font(QStringLiteral("sans-serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(int(letterSize));
    font.setWeight(QFont::Bold);
    const QString letter = badgeText(spaceName, badge);
    // A two-character label is narrowed to fit inside the disc with a margin.
    constexpr qreal room = 150;
    if (const qreal wide = QFontMetricsF(font).horizontalAdvance(letter); wide > room)
        font.setPixelSize(std::max(1, int(letterSize * room / wide)));
    const QFontMetricsF metrics(font);
    const qreal width = metrics.horizontalAdvance(letter);
    const qreal height = metrics.height();
    painter.setFont(font);
    painter.setPen(badgeTextColor(background));
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
