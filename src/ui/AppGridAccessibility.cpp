#include "ui/AppGridAccessibility.h"

#include "ui/AppGrid.h"

#include <QWidget>
#include <QWindow>

namespace tandrel {
namespace {

QAccessibleInterface *appGridFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("tandrel::AppGrid") && object && object->isWidgetType()) {
        if (auto *grid = qobject_cast<AppGrid *>(object))
            return new AppGridAccessible(grid);
    }
    return nullptr;
}

} // namespace

void installAppGridAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(appGridFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

// The grid

AppGridAccessible::AppGridAccessible(AppGrid *grid)
    : QAccessibleWidget(grid, QAccessible::List)
{
}

AppGrid *AppGridAccessible::grid() const
{
    return static_cast<AppGrid *>(widget());
}

int AppGridAccessible::childCount() const
{
    return int(grid()->apps().size());
}

QAccessibleInterface *AppGridAccessible::child(int index) const
{
    return grid()->accessibleCard(index);
}

int AppGridAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const auto *card = dynamic_cast<const AppCardAccessible *>(child);
    return card && card->grid() == grid() && card->isValid() ? card->index() : -1;
}

QAccessibleInterface *AppGridAccessible::childAt(int x, int y) const
{
    return grid()->accessibleCard(grid()->indexAt(grid()->mapFromGlobal(QPoint(x, y))));
}

QAccessibleInterface *AppGridAccessible::focusChild() const
{
    return grid()->hasFocus() ? grid()->accessibleCard(grid()->m_current) : nullptr;
}

// One card

AppCardAccessible::AppCardAccessible(AppGrid *grid, int index)
    : m_grid(grid)
    , m_index(index)
{
}

bool AppCardAccessible::isValid() const
{
    return m_grid && m_index >= 0 && m_index < m_grid->apps().size();
}

QWindow *AppCardAccessible::window() const
{
    return m_grid ? m_grid->window()->windowHandle() : nullptr;
}

QAccessibleInterface *AppCardAccessible::parent() const
{
    return m_grid ? QAccessible::queryAccessibleInterface(m_grid.data()) : nullptr;
}

QString AppCardAccessible::text(QAccessible::Text t) const
{
    if (!isValid())
        return {};
    const InstalledApp &app = m_grid->apps().at(m_index);
    switch (t) {
    case QAccessible::Name:
        return app.name();
    case QAccessible::Description:
        return m_grid->toolTipFor(app);
    default:
        return {};
    }
}

QRect AppCardAccessible::rect() const
{
    if (!isValid())
        return {};
    const QRect card = m_grid->cardRect(m_index);
    return { m_grid->mapToGlobal(card.topLeft()), card.size() };
}

QAccessible::State AppCardAccessible::state() const
{
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    state.focusable = true;
    state.focused = m_grid->hasFocus() && m_grid->m_current == m_index;
    state.hotTracked = m_grid->m_hovered == m_index;
    if (!m_grid->isVisible())
        state.invisible = true;
    else if (!m_grid->visibleRegion().intersects(m_grid->cardRect(m_index)))
        state.offscreen = true;
    return state;
}

void *AppCardAccessible::interface_cast(QAccessible::InterfaceType type)
{
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
}

QStringList AppCardAccessible::actionNames() const
{
    return { pressAction(), setFocusAction() };
}

void AppCardAccessible::doAction(const QString &actionName)
{
    if (!isValid())
        return;
    if (actionName == pressAction()) {
        m_grid->activate(m_index);
    } else if (actionName == setFocusAction()) {
        m_grid->setFocus(Qt::OtherFocusReason);
        m_grid->setCurrent(m_index);
    }
}

} // namespace tandrel
