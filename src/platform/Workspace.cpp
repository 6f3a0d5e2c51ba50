#include "platform/Workspace.h"

#include "platform/PlatformWorkspace.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace tandrel {
namespace {

Workspace *replacement = nullptr;

QImage drawGenericIcon()
{
    constexpr int side = 512;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // The tile: the proportions of a system app icon, light neutral grey.
    const QRectF tile(50, 50, 412, 412);
    QLinearGradient fill(tile.topLeft(), tile.bottomLeft());
    fill.setColorAt(0, QColor(0xF4, 0xF5, 0xF7));
    fill.setColorAt(1, QColor(0xD5, 0xD8, 0xDE));
    painter.setPen(QPen(QColor(0xAE, 0xB2, 0xBA), 4));
    painter.setBrush(fill);
    painter.drawRoundedRect(tile, 92, 92);

    // The mark: four rounded squares, the usual sign for "an application".
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x86, 0x8B, 0x96));
    constexpr qreal cell = 112;
    constexpr qreal gap = 28;
    const qreal origin = (side - 2 * cell - gap) / 2;
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column)
            painter.drawRoundedRect(
                QRectF(origin + column * (cell + gap), origin + row * (cell + gap), cell, cell), 26, 26);
    }
    painter.end();
    return image;
}

} // namespace

QImage genericApplicationIcon()
{
    static const QImage icon = drawGenericIcon();
    return icon;
}

Workspace &Workspace::shared()
{
    return replacement ? *replacement : platformWorkspace();
}

void Workspace::setShared(Workspace *workspace)
{
    replacement = workspace;
}

} // namespace tandrel
