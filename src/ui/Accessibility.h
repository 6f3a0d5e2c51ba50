#pragma once

#include <QAccessible>
#include <QWidget>

#include <functional>

namespace tandrel {

// Registers the interfaces of the window's own widgets: each SpaceRow is a group named after
// its instance, so its buttons are read as "Mail - Work, Delete"; an Announcer has its role.
// Later calls do nothing.
void installAccessibility();

// Sends the event to assistive technology, and first to the observer, if one is set. Qt drops
// every event on a platform without accessibility (the offscreen one of the tests) before
// any handler of its own sees it.
void updateAccessibility(QAccessibleEvent *event);
using AccessibilityObserver = std::function<void(QAccessibleEvent *event)>;
void setAccessibilityObserver(AccessibilityObserver observer);

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
    QString message() const { return m_message; }
    // Signalled every time, also for the message said last: a second refresh is news too.
    void announce(const QString &message);

private:
    QAccessible::Role m_role;
    QString m_message;
};

} // namespace tandrel
