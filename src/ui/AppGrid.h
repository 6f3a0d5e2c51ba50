#pragma once

#include "model/InstalledApp.h"

#include <QAccessible>
#include <QHash>
#include <QList>
#include <QWidget>

#include <memory>

class QVariantAnimation;

namespace tandrel {

class AppCardPainter;

// A grid of app cards, built lazily: only the cards inside the visible region are
// laid out and painted, so thousands of apps stay smooth. Columns adapt to the width
// (as many 110-wide columns with 12 gaps as fit, sharing what is left); rows 12 apart.
// Each card shows the app's icon at 64 x 64, its name elided in the middle and, for a
// sandboxed grid, the "not duplicable" badge; hovering springs it to 1.05.
// Cards are laid out in the contents rect: a widget paints nothing outside itself, so
// an owner that wants edge cards to spring unclipped gives the grid margins of ~5 px.
class AppGrid : public QWidget
{
    Q_OBJECT
public:
    explicit AppGrid(bool sandboxed, QWidget *parent = nullptr);
    ~AppGrid() override;

    void setApps(QList<InstalledApp> apps);
    const QList<InstalledApp> &apps() const { return m_apps; }
    bool sandboxed() const { return m_sandboxed; }

    // Columns for a grid of this width: the largest n with n * 110 + (n - 1) * 12 <= width, at least 1.
    static int columnCount(int width);

    // The card's tooltip text, in the language in force.
    QString toolTipFor(const InstalledApp &app) const;
    // The name card `index` shows: cut in the middle when it is wider than the card.
    QString displayedName(int index) const;
    // The rectangle of card `index` in widget coordinates.
    QRect cardRect(int index) const;
    // How many cards the last paint event drew.
    int lastPaintedCardCount() const { return m_lastPaintedCount; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // A card was clicked or activated from the keyboard.
    void appActivated(const tandrel::InstalledApp &app);

protected:
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    // The accessibility interfaces read the hover, the current card and the cached
    // card interfaces, and press cards.
    friend class AppGridAccessible;
    friend class AppCardAccessible;

    int columnsForLayout() const;
    int rowCount() const;
    // The card under a point in widget coordinates, or -1 (gaps and margins included).
    int indexAt(const QPoint &pos) const;
    // The first card showing through the widget's visible region, or 0.
    int firstVisibleIndex() const;
    // A card's rect grown by how far a springing card and its focus ring reach.
    QRect paintRect(int index) const;
    void updateCard(int index);

    qreal hoverProgress(int index) const;
    void setHovered(int index);
    void animateHover(int index, qreal target);
    void stopAnimations();

    void setCurrent(int index);
    void scrollToCard(int index);
    void activate(int index);

    QAccessibleInterface *accessibleCard(int index) const;
    void releaseAccessibleCards();
    void notifyAccessibleFocus();

    QList<InstalledApp> m_apps;
    bool m_sandboxed = false;
    int m_lastPaintedCount = 0;
    std::unique_ptr<AppCardPainter> m_painter;
    int m_hovered = -1;
    int m_current = -1;
    int m_pressed = -1;
    // Only cards whose hover is springing have an animation.
    QHash<int, QVariantAnimation *> m_animations;
    // Card interfaces made for assistive technology so far, by card index.
    mutable QHash<int, QAccessible::Id> m_accessibleCards;
};

} // namespace tandrel
