#include "app/Application.h"

#include "model/AppIcons.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QtGlobal>

#include <cstdio>

namespace tandrel {

void setApplicationNames()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tandrel"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("tandrel.io"));
    QCoreApplication::setApplicationName(QStringLiteral("Tandrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TANDREL_VERSION));
}

void setApplicationIdentity()
{
    setApplicationNames();
    QGuiApplication::setDesktopFileName(QStringLiteral("io.tandrel.Tandrel"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    // Apps' icons are read in the background, where Qt's own theme lookup may not run.
    setIconThemeName(QIcon::themeName());
}

void installQuietMessageHandler(bool always)
{
#ifndef QT_NO_DEBUG
    if (!always)
        return;
#else
    Q_UNUSED(always);
#endif
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    });
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
