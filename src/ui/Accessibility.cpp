#include "ui/Accessibility.h"

#include <QAccessibleWidget>

namespace tandrel {
namespace {

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String("tandrel::SpaceRow"))
        return new QAccessibleWidget(widget, QAccessible::Grouping);
    if (className == QLatin1String("tandrel::Announcer"))
        return new QAccessibleWidget(widget, static_cast<Announcer *>(widget)->role());
    return nullptr;
}

} // namespace

void installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

Announcer::Announcer(QAccessible::Role role, QWidget *parent)
    : QWidget(parent)
    , m_role(role)
{
    installAccessibility();
    setGeometry(0, 0, 0, 0);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Announcer::announce(const QString &message)
{
    // The same message twice is still news (a second refresh): the name changes both times.
    if (accessibleName() == message)
        setAccessibleName(QString());
    setAccessibleName(message); // sends NameChanged
    if (m_role == QAccessible::AlertMessage) {
        QAccessibleEvent alert(this, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

} // namespace tandrel
