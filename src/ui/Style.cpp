#include "ui/Style.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWidget>

namespace tandrel::style {

QFont font(qreal size, QFont::Weight weight)
{
    QFont result = QGuiApplication::font();
    const QScreen *screen = QGuiApplication::primaryScreen();
    const qreal dpi = screen ? screen->logicalDotsPerInchY() : 72.0;
    result.setPointSizeF(size * 72.0 / (dpi > 0 ? dpi : 72.0));
    result.setWeight(weight);
    return result;
}

QFont roundedTitleFont(qreal size)
{
    QFont result = font(size, QFont::Bold);
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        for (const char *candidate : {"SF Pro Rounded", "Nunito", "Varela Round", "Quicksand", "Comfortaa",
                                      "M PLUS Rounded 1c", "Ubuntu", "Cantarell"}) {
            if (installed.contains(QLatin1String(candidate)))
                return QString::fromLatin1(candidate);
        }
        return QString();
    }();
    if (!family.isEmpty())
        result.setFamilies({family});
    return result;
}

QColor primaryText(const QPalette &palette)
{
    return palette.color(QPalette::WindowText);
}

QColor secondaryText(const QPalette &palette)
{
    return withAlpha(palette.color(QPalette::WindowText), 0.55);
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

void fillRounded(QPainter &painter, const QRectF &rect, qreal radius, const QColor &color)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, color);
    painter.restore();
}

QPixmap iconPixmap(const QImage &image, int side, qreal devicePixelRatio)
{
    QPixmap pixmap = QPixmap::fromImage(
        image.scaled(QSize(side, side) * devicePixelRatio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

void makeProminent(QWidget *button)
{
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, palette.color(QPalette::Highlight));
    palette.setColor(QPalette::ButtonText, palette.color(QPalette::HighlightedText));
    button->setPalette(palette);
}

QColor withAlpha(QColor color, qreal opacity)
{
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

} // namespace tandrel::style
