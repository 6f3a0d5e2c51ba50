#include "ui/AppCardPainter.h"

#include "l10n/Tr.h"
#include "model/AppIcons.h"
#include "ui/Style.h"
#include "ui/Symbols.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tandrel {
namespace {

constexpr int iconSize = 64;
constexpr int padding = 14;
constexpr int spacing = 6;
constexpr qreal cornerRadius = 16;
constexpr qreal hoverScale = 0.05;
// The icon's shadow at rest and hovered; hover cross-fades between the two.
constexpr int restBlur = 5;
constexpr int hoverBlur = 10;
constexpr qreal restShadow = 0.12;
constexpr qreal hoverShadow = 0.25;
constexpr int shadowOffset = 3;
// The badge: lock and text, spacing 3, padding 7 across and 2 down.
constexpr int badgeSpacing = 3;
constexpr int badgePadX = 7;
constexpr int badgePadY = 2;

QString cacheKey(const QString &path, int variant, qreal devicePixelRatio)
{
    return path + QLatin1Char('|') + QString::number(variant) + QLatin1Char('|')
        + QString::number(devicePixelRatio);
}

int costOf(const QPixmap &pixmap)
{
    return std::max(1, int(qint64(pixmap.width()) * pixmap.height() * 4 / 1024));
}

// A black silhouette of the image's alpha, blurred like a Gaussian whose sigma is half
// the radius (how shadow radii are usually read), on a margin wide enough for its tail.
QImage blurredSilhouette(const QImage &source, qreal radius, int margin)
{
    const QImage src = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = src.width() + 2 * margin;
    const int h = src.height() + 2 * margin;
    std::vector<float> alpha(size_t(w) * size_t(h), 0.0f);
    for (int y = 0; y < src.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(src.constScanLine(y));
        for (int x = 0; x < src.width(); ++x)
            alpha[size_t(y + margin) * size_t(w) + size_t(x + margin)] = float(qAlpha(line[x]));
    }

    const qreal sigma = std::max<qreal>(radius / 2.0, 0.5);
    const int half = int(std::ceil(3 * sigma));
    std::vector<float> kernel(size_t(2 * half + 1));
    float sum = 0;
    for (int i = -half; i <= half; ++i) {
        kernel[size_t(i + half)] = float(std::exp(-(i * i) / (2 * sigma * sigma)));
        sum += kernel[size_t(i + half)];
    }
    for (float &k : kernel)
        k /= sum;

    // Separable: across, then down.
    std::vector<float> pass(alpha.size(), 0.0f);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float acc = 0;
            for (int i = std::max(-half, -x); i <= std::min(half, w - 1 - x); ++i)
                acc += kernel[size_t(i + half)] * alpha[size_t(y) * size_t(w) + size_t(x + i)];
            pass[size_t(y) * size_t(w) + size_t(x)] = acc;
        }
    }
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            float acc = 0;
            for (int i = std::max(-half, -y); i <= std::min(half, h - 1 - y); ++i)
                acc += kernel[size_t(i + half)] * pass[size_t(y + i) * size_t(w) + size_t(x)];
            line[x] = qRgba(0, 0, 0, std::clamp(int(std::lround(acc)), 0, 255));
        }
    }
    return out;
}

} // namespace

AppCardPainter::AppCardPainter(bool sandboxed)
    : m_sandboxed(sandboxed)
{
    updateMetrics();
}

void AppCardPainter::updateMetrics()
{
    m_nameFont = style::font(12);
    m_badgeFont = style::font(9, QFont::DemiBold);
    m_nameHeight = 2 * QFontMetrics(m_nameFont).lineSpacing();
    m_lock = QPixmap();
    m_lockSize = symbolPixmap(Symbol::LockFill, Qt::black, 8).deviceIndependentSize().toSize();
    m_badgeHeight = std::max(QFontMetrics(m_badgeFont).height(), m_lockSize.height()) + 2 * badgePadY;
    m_cardHeight = padding + iconSize + spacing + m_nameHeight + padding;
    if (m_sandboxed)
        m_cardHeight += spacing + m_badgeHeight;
}

QMargins AppCardPainter::reach(const QSize &cell)
{
    // Half of the scale's growth, with room for the spring's overshoot and antialiasing.
    const int dx = int(std::ceil(cell.width() * (hoverScale * 1.1) / 2)) + 2;
    const int dy = int(std::ceil(cell.height() * (hoverScale * 1.1) / 2)) + 2;
    return { dx, dy, dx, dy };
}

void AppCardPainter::paint(QPainter &painter, const QRect &cell, const InstalledApp &app,
    const QPalette &palette, const State &state, qreal devicePixelRatio)
{
    const qreal shown = std::clamp(state.hover, 0.0, 1.0);
    const qreal scale = 1.0 + hoverScale * state.hover;
    painter.save();
    // At rest nothing is transformed, so icons and text land on whole pixels.
    if (std::abs(scale - 1.0) > 1e-4) {
        const QPointF centre = QRectF(cell).center();
        painter.translate(centre);
        painter.scale(scale, scale);
        painter.translate(-centre);
    }

    if (shown > 0) {
        QPainterPath background;
        background.addRoundedRect(QRectF(cell), cornerRadius, cornerRadius);
        painter.fillPath(
            background, style::withAlpha(style::primaryText(palette), style::tint::card * shown));
    }
    if (state.focused)
        style::paintFocusRing(painter, QRectF(cell), cornerRadius, palette);

    const QRect iconRect(
        cell.left() + (cell.width() - iconSize) / 2, cell.top() + padding, iconSize, iconSize);
    paintIcon(painter, iconRect, app.id(), shown, devicePixelRatio);

    const QRect name = nameRect(cell);
    painter.setFont(m_nameFont);
    painter.setPen(m_sandboxed ? style::secondaryText(palette) : style::primaryText(palette));
    painter.drawText(name, Qt::AlignHCenter | Qt::AlignTop, displayedName(app, cell));

    if (m_sandboxed)
        paintBadge(painter, cell, name.bottom() + 1 + spacing, palette, devicePixelRatio);
    painter.restore();
}

QRect AppCardPainter::nameRect(const QRect &cell) const
{
    // The name runs between the corners' curves, so it may take the card's whole width.
    return { cell.left(), cell.top() + padding + iconSize + spacing, cell.width(), m_nameHeight };
}

QString AppCardPainter::displayedName(const InstalledApp &app, const QRect &cell) const
{
    // Two lines, broken between words where a word break fits, before the rest is cut in
    // the middle (the end of a name often tells it from its neighbours).
    const QString name = app.name();
    const int width = nameRect(cell).width();
    const QFontMetrics metrics(m_nameFont);
    if (metrics.horizontalAdvance(name) <= width)
        return name;
    QTextLayout layout(name, m_nameFont);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine first = layout.createLine();
    first.setLineWidth(width);
    layout.endLayout();
    const int cut = std::max(1, first.textLength());
    return name.left(cut).trimmed() + QLatin1Char('\n')
        + metrics.elidedText(name.mid(cut).trimmed(), Qt::ElideMiddle, width);
}

void AppCardPainter::paintIcon(
    QPainter &painter, const QRect &iconRect, const QString &path, qreal hover, qreal devicePixelRatio)
{
    const QPixmap image = icon(path, devicePixelRatio);
    if (image.isNull())
        return; // not read yet
    const qreal iconOpacity = m_sandboxed ? 0.5 : 1.0;
    const qreal shadowOpacity = (restShadow + (hoverShadow - restShadow) * hover) * iconOpacity;
    const auto drawShadow = [&](int blur, qreal weight) {
        if (weight <= 0.001)
            return;
        const QPixmap blurred = shadow(path, blur, devicePixelRatio);
        const QSizeF size = blurred.deviceIndependentSize();
        const QPointF centre = QRectF(iconRect).center();
        const QPointF at(centre.x() - size.width() / 2, centre.y() - size.height() / 2 + shadowOffset);
        painter.setOpacity(shadowOpacity * weight);
        painter.drawPixmap(at, blurred);
    };
    drawShadow(restBlur, 1.0 - hover);
    drawShadow(hoverBlur, hover);
    painter.setOpacity(iconOpacity);
    painter.drawPixmap(iconRect.topLeft(), image);
    painter.setOpacity(1.0);
}

void AppCardPainter::paintBadge(
    QPainter &painter, const QRect &cell, int top, const QPalette &palette, qreal devicePixelRatio)
{
    const QFontMetrics metrics(m_badgeFont);
    const int room = cell.width() - 2 * badgePadX - m_lockSize.width() - badgeSpacing;
    const QString text
        = metrics.elidedText(tandrel::tr(QStringLiteral("No duplicable"), QStringLiteral("Not duplicable")),
            Qt::ElideRight, std::max(0, room));
    const int textWidth = metrics.horizontalAdvance(text);
    const int width = badgePadX + m_lockSize.width() + badgeSpacing + textWidth + badgePadX;
    const QRect badge(cell.left() + (cell.width() - width) / 2, top, width, m_badgeHeight);

    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(badge), badge.height() / 2.0, badge.height() / 2.0);
    painter.fillPath(capsule, style::withAlpha(style::orange(), style::tint::badge));

    const QColor ink = style::sandboxText(palette);
    const int lockLeft = badge.left() + badgePadX;
    painter.drawPixmap(QPoint(lockLeft, badge.top() + (badge.height() - m_lockSize.height()) / 2),
        lock(ink, devicePixelRatio));
    const QRect textRect(
        lockLeft + m_lockSize.width() + badgeSpacing, badge.top(), textWidth, badge.height());
    painter.setFont(m_badgeFont);
    painter.setPen(ink);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

QPixmap AppCardPainter::icon(const QString &path, qreal devicePixelRatio)
{
    const QString key = cacheKey(path, 0, devicePixelRatio);
    if (const QPixmap *hit = m_icons.object(key))
        return *hit;
    // Read in the background: until it arrives the card shows no icon, and nothing is kept.
    const QImage source = IconCache::shared().icon(path);
    if (source.isNull())
        return {};
    // Scaled once here, so a bundle icon is not resampled on every frame.
    const int side = int(std::lround(iconSize * devicePixelRatio));
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    if (!source.isNull()) {
        const QImage scaled = source.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPainter painter(&square);
        painter.drawImage((side - scaled.width()) / 2, (side - scaled.height()) / 2, scaled);
    }
    QPixmap pixmap = QPixmap::fromImage(square);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    m_icons.insert(key, new QPixmap(pixmap), costOf(pixmap));
    return pixmap;
}

QPixmap AppCardPainter::shadow(const QString &path, int blurRadius, qreal devicePixelRatio)
{
    const QString key = cacheKey(path, blurRadius, devicePixelRatio);
    if (const QPixmap *hit = m_shadows.object(key))
        return *hit;
    const qreal radius = blurRadius * devicePixelRatio;
    const int margin = int(std::ceil(1.5 * radius));
    QImage image = blurredSilhouette(icon(path, devicePixelRatio).toImage(), radius, margin);
    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    m_shadows.insert(key, new QPixmap(pixmap), costOf(pixmap));
    return pixmap;
}

QPixmap AppCardPainter::lock(const QColor &color, qreal devicePixelRatio)
{
    if (m_lock.isNull() || m_lockColor != color
        || !qFuzzyCompare(m_lock.devicePixelRatio(), devicePixelRatio)) {
        m_lock = symbolPixmap(Symbol::LockFill, color, 8, devicePixelRatio);
        m_lockColor = color;
    }
    return m_lock;
}

} // namespace tandrel
