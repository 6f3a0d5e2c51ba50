#include "app/Application.h"

#include <QCoreApplication>
#include <QtGlobal>

namespace tandrel {

void setApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tandrel"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("tandrel.io"));
    QCoreApplication::setApplicationName(QStringLiteral("Tandrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TANDREL_VERSION));
}

QString missingDisplayMessage(const QString &program)
{
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return QStringLiteral("Tandrel needs a graphical display and none was found; "
                              "to run it without one, use: xvfb-run -a %1")
            .arg(program);
    }
#else
    Q_UNUSED(program);
#endif
    return {};
}

} // namespace tandrel
