#include "ui/Accessibility.h"

#include <QAccessibleWidget>

#include <utility>

namespace tandrel {
namespace {

// An announcer's name is its message.
class AnnouncerAccessible : public QAccessibleWidget
{
public:
    explicit AnnouncerAccessible(Announcer *announcer)
        : QAccessibleWidget(announcer, announcer->role())
    {
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? static_cast<Announcer *>(widget())->message()
                                      : QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("tandrel::SpaceRow"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Grouping);
    if (className == QLatin1String("tandrel::Announcer"))
        return new AnnouncerAccessible(static_cast<Announcer *>(object));
    return nullptr;
}

AccessibilityObserver &observer()
{
    static AccessibilityObserver installed;
    return installed;
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

void updateAccessibility(QAccessibleEvent *event)
{
    if (observer())
        observer()(event);
    QAccessible::updateAccessibility(event);
}

void setAccessibilityObserver(AccessibilityObserver installed)
{
    observer() = std::move(installed);
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
    m_message = message;
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    updateAccessibility(&changed);
    if (m_role == QAccessible::AlertMessage) {
        QAccessibleEvent alert(this, QAccessible::Alert);
        updateAccessibility(&alert);
    }
}

} // namespace tandrel
