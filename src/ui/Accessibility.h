#pragma once

#include <QAccessible>
#include <QWidget>

namespace tandrel {

// Registers the interfaces of the window's own widgets: each SpaceRow is a group named after
// its instance, so its buttons are read as "Mail - Work, Delete"; an Announcer has its role.
// Later calls do nothing.
void installAccessibility();

// Says a short message to assistive technology: Qt 6.4 has no announcement event, so the
// message becomes the name of a status bar or an alert, and the name change (and, for an
// alert, the alert) is signalled. It is shown as nothing: whoever sees the window sees the
// outcome itself, the sheet's error in its own label.
class Announcer : public QWidget
{
    Q_OBJECT
public:
    // role is QAccessible::StatusBar or QAccessible::AlertMessage.
    explicit Announcer(QAccessible::Role role, QWidget *parent);

    QAccessible::Role role() const { return m_role; }
    QString message() const { return accessibleName(); }
    void announce(const QString &message);

private:
    QAccessible::Role m_role;
};

} // namespace tandrel
