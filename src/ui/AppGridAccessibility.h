#pragma once

#include <QAccessibleWidget>
#include <QPointer>

namespace tandrel {

class AppGrid;

// Cards are painted, not widgets, so assistive technology would see an empty grid.
// These interfaces expose the grid as a list whose children are buttons, one per card,
// made only when asked for; the grid caches and releases the card interfaces.

// Registers the factory that gives every AppGrid its interface; later calls do nothing.
void installAppGridAccessibility();

class AppGridAccessible : public QAccessibleWidget
{
public:
    explicit AppGridAccessible(AppGrid *grid);

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;

private:
    AppGrid *grid() const;
};

class AppCardAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    AppCardAccessible(AppGrid *grid, int index);

    AppGrid *grid() const { return m_grid; }
    int index() const { return m_index; }

    bool isValid() const override;
    QObject *object() const override { return nullptr; }
    QWindow *window() const override;
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString &) override { }
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<AppGrid> m_grid;
    int m_index = 0;
};

} // namespace tandrel
