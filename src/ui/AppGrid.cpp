#include "ui/AppGrid.h"

#include "l10n/LanguageManager.h"
#include "l10n/Tr.h"
#include "model/AppIcons.h"
#include "model/Store.h"
#include "ui/AppCardPainter.h"
#include "ui/AppGridAccessibility.h"

#include <QEasingCurve>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QToolTip>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

namespace tandrel {
namespace {

constexpr int columnWidth = 110;
constexpr int gap = 12;
constexpr int hoverDurationMs = 320;

// A damped spring with a response of 0.25 s and a damping fraction of 0.75, released
// from rest; over the animation's 320 ms it settles to within a quarter of a percent,
// so the last frame's step to exactly 1 cannot be seen.
qreal springCurve(qreal progress)
{
    if (progress >= 1.0)
        return 1.0;
    constexpr double response = 0.25;
    constexpr double damping = 0.75;
    const double omega = 2 * M_PI / response;
    const double decay = damping * omega;
    const double ringing = omega * std::sqrt(1 - damping * damping);
    const double t = progress * hoverDurationMs / 1000.0;
    return 1 - std::exp(-decay * t) * (std::cos(ringing * t) + decay / ringing * std::sin(ringing * t));
}

QEasingCurve springEasing()
{
    QEasingCurve curve;
    curve.setCustomType(springCurve);
    return curve;
}

} // namespace

AppGrid::AppGrid(bool sandboxed, QWidget *parent)
    : QWidget(parent)
    , m_sandboxed(sandboxed)
    , m_painter(std::make_unique<AppCardPainter>(sandboxed))
{
    installAppGridAccessibility();
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    // The badge's text is taken at paint time; tooltips at the time they are shown.
    connect(&LanguageManager::shared(), &LanguageManager::choiceChanged, this, [this] { update(); });
    // Icons arrive from the background; only the cards in view are painted again.
    connect(&IconCache::shared(), &IconCache::iconLoaded, this, [this] { update(); });
}

AppGrid::~AppGrid()
{
    stopAnimations();
    releaseAccessibleCards();
}

void AppGrid::setApps(QList<InstalledApp> apps)
{
    stopAnimations();
    releaseAccessibleCards();
    m_apps = std::move(apps);
    m_hovered = -1;
    m_current = -1;
    m_pressed = -1;
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&event);
    }
    updateGeometry();
    update();
}

// Geometry

int AppGrid::columnCount(int width)
{
    return std::max(1, (width + gap) / (columnWidth + gap));
}

int AppGrid::columnsForLayout() const
{
    return columnCount(contentsRect().width());
}

int AppGrid::rowCount() const
{
    const int columns = columnsForLayout();
    return int((m_apps.size() + columns - 1) / columns);
}

QRect AppGrid::cardRect(int index) const
{
    if (index < 0 || index >= m_apps.size())
        return {};
    const QRect area = contentsRect();
    const int columns = columnsForLayout();
    const int row = index / columns;
    const int column = index % columns;
    // Columns share what the gaps leave; rounding spreads the odd pixels across them.
    const int shared = std::max(0, area.width() - (columns - 1) * gap);
    const int left = area.left() + column * gap + column * shared / columns;
    const int right = area.left() + column * gap + (column + 1) * shared / columns;
    const int height = m_painter->cardHeight();
    return { left, area.top() + row * (height + gap), right - left, height };
}

QString AppGrid::displayedName(int index) const
{
    if (index < 0 || index >= m_apps.size())
        return {};
    return m_painter->displayedName(m_apps.at(index), cardRect(index));
}

int AppGrid::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    const int columns = columnCount(width - margins.left() - margins.right());
    const int rows = int((m_apps.size() + columns - 1) / columns);
    const int content = rows > 0 ? rows * m_painter->cardHeight() + (rows - 1) * gap : 0;
    return content + margins.top() + margins.bottom();
}

QSize AppGrid::sizeHint() const
{
    const QMargins margins = contentsMargins();
    const int width = 5 * columnWidth + 4 * gap + margins.left() + margins.right();
    return { width, heightForWidth(width) };
}

QSize AppGrid::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return { columnWidth + margins.left() + margins.right(),
        (m_apps.isEmpty() ? 0 : m_painter->cardHeight()) + margins.top() + margins.bottom() };
}

int AppGrid::indexAt(const QPoint &pos) const
{
    const QRect area = contentsRect();
    if (m_apps.isEmpty() || !area.contains(pos))
        return -1;
    const int stride = m_painter->cardHeight() + gap;
    const int row = (pos.y() - area.top()) / stride;
    const int columns = columnsForLayout();
    const int guess = std::min(columns - 1, (pos.x() - area.left()) * columns / std::max(1, area.width()));
    for (int column = std::max(0, guess - 1); column <= std::min(columns - 1, guess + 1); ++column) {
        const qsizetype index = qsizetype(row) * columns + column;
        if (index >= m_apps.size())
            return -1;
        if (cardRect(int(index)).contains(pos))
            return int(index);
    }
    return -1;
}

int AppGrid::firstVisibleIndex() const
{
    const QRect visible = visibleRegion().boundingRect();
    if (visible.isEmpty() || m_apps.isEmpty())
        return 0;
    const int stride = m_painter->cardHeight() + gap;
    // The first row whose card reaches below the visible top.
    const int row = std::max(0, (visible.top() - contentsRect().top() + gap) / stride);
    return int(std::min<qsizetype>(qsizetype(row) * columnsForLayout(), m_apps.size() - 1));
}

QRect AppGrid::paintRect(int index) const
{
    const QRect card = cardRect(index);
    return card.marginsAdded(AppCardPainter::reach(card.size()));
}

void AppGrid::updateCard(int index)
{
    if (index >= 0 && index < m_apps.size())
        update(paintRect(index));
}

// Painting

void AppGrid::paintEvent(QPaintEvent *event)
{
    m_lastPaintedCount = 0;
    if (m_apps.isEmpty())
        return;
    const QRect area = contentsRect();
    const int columns = columnsForLayout();
    const int stride = m_painter->cardHeight() + gap;
    const QRect dirty = event->rect();
    // Only the rows the dirty rect can touch, widened by how far a springing card reaches.
    const int reach = AppCardPainter::reach(QSize(area.width(), m_painter->cardHeight())).top();
    const int firstRow = std::max(0, (dirty.top() - reach - area.top()) / stride);
    const int lastRow = std::min(rowCount() - 1, std::max(0, (dirty.bottom() + reach - area.top()) / stride));

    QPainter painter(this);
    painter.setRenderHints(
        QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    const qreal dpr = devicePixelRatioF();
    const bool focused = hasFocus();
    int painted = 0;
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = 0; column < columns; ++column) {
            const qsizetype index = qsizetype(row) * columns + column;
            if (index >= m_apps.size())
                break;
            if (!event->region().intersects(paintRect(int(index))))
                continue;
            AppCardPainter::State state;
            state.hover = hoverProgress(int(index));
            state.focused = focused && index == m_current;
            m_painter->paint(painter, cardRect(int(index)), m_apps.at(index), palette(), state, dpr);
            ++painted;
        }
    }
    m_lastPaintedCount = painted;
}

// Hover

qreal AppGrid::hoverProgress(int index) const
{
    if (const QVariantAnimation *animation = m_animations.value(index))
        return animation->currentValue().toReal();
    return index == m_hovered ? 1.0 : 0.0;
}

void AppGrid::setHovered(int index)
{
    if (index == m_hovered)
        return;
    const int previous = m_hovered;
    m_hovered = index;
    animateHover(previous, 0.0);
    animateHover(index, 1.0);
}

void AppGrid::animateHover(int index, qreal target)
{
    if (index < 0 || index >= m_apps.size())
        return;
    QVariantAnimation *animation = m_animations.value(index);
    if (animation) {
        // Retargeted mid-flight: spring on from where the card is now.
        const QVariant from = animation->currentValue();
        animation->stop();
        animation->setStartValue(from);
    } else {
        animation = new QVariantAnimation(this);
        animation->setDuration(hoverDurationMs);
        animation->setEasingCurve(springEasing());
        animation->setStartValue(1.0 - target);
        connect(animation, &QVariantAnimation::valueChanged, this, [this, index] { updateCard(index); });
        connect(animation, &QVariantAnimation::finished, this, [this, index, animation] {
            if (m_animations.value(index) == animation)
                m_animations.remove(index);
            animation->deleteLater();
            updateCard(index);
        });
        m_animations.insert(index, animation);
    }
    animation->setEndValue(target);
    animation->start();
}

void AppGrid::stopAnimations()
{
    const QHash<int, QVariantAnimation *> animations = std::exchange(m_animations, {});
    for (QVariantAnimation *animation : animations)
        delete animation;
}

void AppGrid::mouseMoveEvent(QMouseEvent *event)
{
    setHovered(indexAt(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void AppGrid::leaveEvent(QEvent *event)
{
    setHovered(-1);
    QWidget::leaveEvent(event);
}

// Clicks and tooltips

void AppGrid::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressed = indexAt(event->position().toPoint());
    if (m_pressed >= 0 && m_pressed != m_current)
        setCurrent(m_pressed);
    event->accept();
}

void AppGrid::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const int pressed = std::exchange(m_pressed, -1);
    if (pressed >= 0 && indexAt(event->position().toPoint()) == pressed)
        activate(pressed);
    event->accept();
}

void AppGrid::activate(int index)
{
    if (index < 0 || index >= m_apps.size())
        return;
    // A copy: a receiver may replace the list while the signal is being delivered.
    const InstalledApp app = m_apps.at(index);
    Q_EMIT appActivated(app);
}

QString AppGrid::toolTipFor(const InstalledApp &app) const
{
    if (m_sandboxed)
        return Store::sandboxTooltip(app);
    return tandrel::tr(QStringLiteral("Crear una segunda instancia de "),
               QStringLiteral("Create a second instance of "))
        + app.name();
}

bool AppGrid::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int index = indexAt(help->pos());
        if (index >= 0) {
            QToolTip::showText(help->globalPos(), toolTipFor(m_apps.at(index)), this, cardRect(index));
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void AppGrid::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::ApplicationFontChange
        || event->type() == QEvent::StyleChange) {
        m_painter->updateMetrics();
        updateGeometry();
        update();
    }
    QWidget::changeEvent(event);
}

// Keyboard

void AppGrid::keyPressEvent(QKeyEvent *event)
{
    if (m_apps.isEmpty()) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int last = int(m_apps.size()) - 1;
    const int columns = columnsForLayout();
    const int current = m_current >= 0 ? m_current : firstVisibleIndex();
    int next = current;
    switch (event->key()) {
    case Qt::Key_Left:
        next = std::max(0, current - 1);
        break;
    case Qt::Key_Right:
        next = std::min(last, current + 1);
        break;
    case Qt::Key_Up:
        next = current >= columns ? current - columns : current;
        break;
    case Qt::Key_Down:
        // Into a shorter last row, the nearest card is its last one.
        if (current + columns <= last)
            next = current + columns;
        else if (current / columns < last / columns)
            next = last;
        break;
    case Qt::Key_Home:
        next = 0;
        break;
    case Qt::Key_End:
        next = last;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (m_current < 0)
            setCurrent(current);
        activate(m_current);
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    setCurrent(next);
    event->accept();
}

void AppGrid::focusInEvent(QFocusEvent *event)
{
    if (m_current < 0 && !m_apps.isEmpty())
        m_current = firstVisibleIndex();
    updateCard(m_current);
    // Reached by Tab from outside the scroll area, which then scrolls nothing into view itself.
    if (m_current >= 0
        && (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason))
        scrollToCard(m_current);
    notifyAccessibleFocus();
    QWidget::focusInEvent(event);
}

void AppGrid::focusOutEvent(QFocusEvent *event)
{
    updateCard(m_current);
    QWidget::focusOutEvent(event);
}

void AppGrid::setCurrent(int index)
{
    if (index < 0 || index >= m_apps.size())
        return;
    if (index != m_current) {
        updateCard(m_current);
        m_current = index;
        updateCard(m_current);
        if (hasFocus())
            notifyAccessibleFocus();
    }
    scrollToCard(index);
}

void AppGrid::scrollToCard(int index)
{
    QScrollArea *area = nullptr;
    for (QWidget *ancestor = parentWidget(); ancestor && !area; ancestor = ancestor->parentWidget())
        area = qobject_cast<QScrollArea *>(ancestor);
    QWidget *content = area ? area->widget() : nullptr;
    if (!content || (content != this && !content->isAncestorOf(this)))
        return;
    const QRect target = paintRect(index);
    const QPoint centre = mapTo(content, target.center());
    area->ensureVisible(centre.x(), centre.y(), target.width() / 2 + 1, target.height() / 2 + 1);
}

// Accessibility

QAccessibleInterface *AppGrid::accessibleCard(int index) const
{
    if (index < 0 || index >= m_apps.size())
        return nullptr;
    if (const auto id = m_accessibleCards.value(index)) {
        if (QAccessibleInterface *cached = QAccessible::accessibleInterface(id))
            return cached;
    }
    auto *card = new AppCardAccessible(const_cast<AppGrid *>(this), index);
    m_accessibleCards.insert(index, QAccessible::registerAccessibleInterface(card));
    return card;
}

void AppGrid::releaseAccessibleCards()
{
    const QHash<int, QAccessible::Id> cards = std::exchange(m_accessibleCards, {});
    for (const QAccessible::Id id : cards)
        QAccessible::deleteAccessibleInterface(id);
}

void AppGrid::notifyAccessibleFocus()
{
    // Only with assistive technology listening, so no card interfaces are made for nothing.
    if (!QAccessible::isActive() || m_current < 0)
        return;
    if (QAccessibleInterface *card = accessibleCard(m_current)) {
        QAccessibleEvent event(card, QAccessible::Focus);
        QAccessible::updateAccessibility(&event);
    }
}

} // namespace tandrel
