#pragma once

#include "model/InstalledApp.h"

#include <QCache>
#include <QColor>
#include <QFont>
#include <QMargins>
#include <QPixmap>
#include <QRect>
#include <QString>

class QPainter;
class QPalette;

namespace tandrel {

// Paints one app card: a vertical stack of icon, name and, for sandboxed apps, the
// "not duplicable" badge, over a rounded hover background, scaled by the hover spring.
// It keeps what is costly to redo on every frame: icons scaled to 64 x 64 and their
// blurred shadows, in small bounded caches keyed by path and device pixel ratio.
class AppCardPainter
{
public:
    explicit AppCardPainter(bool sandboxed);

    struct State
    {
        qreal hover = 0; // 0 at rest, 1 hovered; the spring may overshoot either end
        bool focused = false;
    };

    // Takes the fonts afresh and recomputes the card height; call when fonts change.
    void updateMetrics();
    int cardHeight() const { return m_cardHeight; }

    // How far a card of this size may reach beyond its cell while it springs.
    static QMargins reach(const QSize &cell);

    void paint(QPainter &painter, const QRect &cell, const InstalledApp &app, const QPalette &palette,
        const State &state, qreal devicePixelRatio);
    // The app's name as the card in `cell` shows it: whole, or cut in the middle.
    QString displayedName(const InstalledApp &app, const QRect &cell) const;

private:
    QRect nameRect(const QRect &cell) const;
    QPixmap icon(const QString &path, qreal devicePixelRatio);
    QPixmap shadow(const QString &path, int blurRadius, qreal devicePixelRatio);
    QPixmap lock(const QColor &color, qreal devicePixelRatio);
    void paintIcon(
        QPainter &painter, const QRect &iconRect, const QString &path, qreal hover, qreal devicePixelRatio);
    void paintBadge(
        QPainter &painter, const QRect &cell, int top, const QPalette &palette, qreal devicePixelRatio);

    bool m_sandboxed = false;
    QFont m_nameFont;
    QFont m_badgeFont;
    int m_nameHeight = 0;
    int m_badgeHeight = 0;
    int m_cardHeight = 0;
    QSize m_lockSize;
    QPixmap m_lock;
    QColor m_lockColor;
    // Costs in KiB of pixel data.
    QCache<QString, QPixmap> m_icons { 4 * 1024 };
    QCache<QString, QPixmap> m_shadows { 8 * 1024 };
};

} // namespace tandrel
