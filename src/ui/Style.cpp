#include "ui/Style.h"

#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QWidget>

#include <cmath>

namespace tandrel::style {
namespace {

// Paints a prominent button: the accent fill, the style's own label on it in white, and
// a white ring inside the fill while it has focus. Disabled, it looks like any other button.
class ProminentPainter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *button = qobject_cast<QPushButton *>(watched);
        if (event->type() != QEvent::Paint || !button || !button->isEnabled())
            return false;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        option.icon = button->icon();
        option.iconSize = button->iconSize();
        if (button->isDown())
            option.state |= QStyle::State_Sunken;
        option.palette.setColor(QPalette::ButtonText, onAccent());

        QStylePainter painter(button);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF face = QRectF(button->rect()).adjusted(1, 1, -1, -1);
        const QColor fill = accent(button->palette());
        fillRounded(painter, face, 5, button->isDown() ? fill.darker(115) : fill);
        if (button->hasFocus()) {
            painter.setPen(QPen(onAccent(), 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(face.adjusted(2.25, 2.25, -2.25, -2.25), 3, 3);
        }
        painter.drawControl(QStyle::CE_PushButtonLabel, option);
        return true;
    }
};

} // namespace

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
        for (const char *candidate : { "SF Pro Rounded", "Nunito", "Varela Round", "Quicksand", "Comfortaa",
                 "M PLUS Rounded 1c", "Ubuntu", "Cantarell" }) {
            if (installed.contains(QLatin1String(candidate)))
                return QString::fromLatin1(candidate);
        }
        return QString();
    }();
    if (!family.isEmpty())
        result.setFamilies({ family });
    return result;
}

QColor primaryText(const QPalette &palette)
{
    return palette.color(QPalette::WindowText);
}

QColor secondaryText(const QPalette &palette)
{
    return withAlpha(palette.color(QPalette::WindowText), 0.62);
}

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

qreal contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &color) {
        const auto channel = [](float value) {
            return value <= 0.04045f ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
        };
        const QColor rgb = color.toRgb();
        return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
    };
    const qreal la = luminance(a);
    const qreal lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor withContrast(QColor color, const QColor &against, qreal ratio)
{
    const bool darken = against.lightnessF() >= 0.5;
    for (int step = 0; step < 100 && contrast(color, against) < ratio; ++step) {
        const QColor hsl = color.toHsl();
        const float lightness = std::clamp(hsl.lightnessF() + (darken ? -0.01f : 0.01f), 0.0f, 1.0f);
        color = QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), lightness).toRgb();
    }
    return color;
}

QColor accent(const QPalette &palette)
{
    return withContrast(palette.color(QPalette::Active, QPalette::Highlight), onAccent(), 4.5);
}

QColor onAccent()
{
    return Qt::white;
}

QColor focusRing(const QPalette &palette)
{
    // 4.5:1 on the window leaves it above 3:1 on the backdrop's gradient and a hovered card's tint.
    return withContrast(
        palette.color(QPalette::Active, QPalette::Highlight), palette.color(QPalette::Window), 4.5);
}

void paintFocusRing(QPainter &painter, const QRectF &rect, qreal radius, const QPalette &palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(focusRing(palette), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
    painter.restore();
}

void setPlaceholderColor(QWidget *edit, const QColor &color)
{
    QPalette palette = edit->palette();
    palette.setColor(QPalette::PlaceholderText, color);
    edit->setPalette(palette);
}

QColor sandboxText(const QPalette &palette)
{
    return isDark(palette) ? QColor(0xFF, 0xB3, 0x40) : QColor(0x8F, 0x4A, 0x00);
}

QColor destructiveText(const QPalette &palette)
{
    return isDark(palette) ? QColor(0xFF, 0xC4, 0xBE) : QColor(0xB3, 0x26, 0x1E);
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

void makeProminent(QPushButton *button)
{
    static auto *painter = new ProminentPainter; // one for every button, for the whole process
    button->installEventFilter(painter);
}

QColor withAlpha(QColor color, qreal opacity)
{
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

} // namespace tandrel::style
