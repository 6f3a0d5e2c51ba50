#include "model/desktop/DesktopTexts.h"

#include "l10n/Tr.h"

namespace tandrel {
namespace {

QString sandboxName(SandboxKind kind)
{
    return kind == SandboxKind::Snap ? QStringLiteral("Snap") : QStringLiteral("Flatpak");
}

} // namespace

QString sandboxedRefusal(const DesktopApp &app)
{
    const QString kind = sandboxName(app.sandbox);
    return tandrel::tr(app.name + QStringLiteral(" está instalada como ") + kind
            + QStringLiteral(
                " y su sandbox no permite duplicarla: el sandbox decide dónde guarda sus datos, así que "
                "la instancia compartiría la sesión original. Si existe como paquete del sistema o "
                "descarga directa (fuera de Flatpak y Snap), instálala — esa sí suele ser duplicable."),
        app.name + QStringLiteral(" is installed as a ") + kind
            + QStringLiteral(
                " and its sandbox won't allow duplicating it: the sandbox decides where its data goes, "
                "so the instance would share the original session. If it exists as a system package "
                "or a direct download (outside Flatpak and Snap), install that one — it's usually "
                "duplicable."));
}

namespace {

QString handOffNotice(const QString &app)
{
    return tandrel::tr(app
            + QStringLiteral(" mantiene una sola copia por sesión y a este sistema le falta dbus-daemon para "
                             "separarlas: con ")
            + app
            + QStringLiteral(
                " abierta, la instancia se abrirá como otra ventana suya, y con la instancia abierta, ")
            + app + QStringLiteral(" se abrirá dentro de ella. Cierra una antes de abrir la otra."),
        app
            + QStringLiteral(
                " keeps one copy per session, and this system lacks dbus-daemon to keep them apart: while ")
            + app
            + QStringLiteral(
                " is open, the instance opens as another window of it, and while the instance is open, ")
            + app + QStringLiteral(" opens inside it. Quit one before opening the other."));
}

QString ownBusNotice(const QString &app)
{
    return tandrel::tr(QStringLiteral("Para no mezclarse con ") + app
            + QStringLiteral(
                ", la instancia usa un bus de sesión propio: sus notificaciones y su icono en la bandeja no "
                "llegarán a tu escritorio, y guarda sus contraseñas en un llavero propio (puede pedirte una "
                "contraseña la primera vez). La accesibilidad y los diálogos de archivos siguen "
                "funcionando."),
        QStringLiteral("To stay apart from ") + app
            + QStringLiteral(
                ", the instance runs on a session bus of its own: its notifications and tray icon won't "
                "reach "
                "your desktop, and it keeps its passwords in a keyring of its own (it may ask you for a "
                "password the first time). Accessibility and file dialogs keep working."));
}

QString unnamedWindowsNotice(const QString &app)
{
    return tandrel::tr(app
            + QStringLiteral(
                " no deja que Tandrel dé nombre propio a sus ventanas: las de la instancia aparecerán "
                "bajo el icono de ")
            + app + QStringLiteral(" en docks y barras de tareas."),
        app
            + QStringLiteral(
                " doesn't let Tandrel give its windows a name of their own: the instance's windows "
                "show under ")
            + app + QStringLiteral("'s icon in docks and task bars."));
}

QString unnamedOnWaylandNotice(const QString &app)
{
    return tandrel::tr(QStringLiteral("En sesiones Wayland, ") + app
            + QStringLiteral(" identifica sus ventanas con su propio nombre: las de la instancia aparecerán "
                             "bajo su icono."),
        QStringLiteral("In Wayland sessions, ") + app
            + QStringLiteral(" names its windows after itself: the instance's windows show under its icon."));
}

} // namespace

QString copyNotice(const DesktopApp &app, const CopyPlan &plan)
{
    QStringList parts;
    if (plan.handsOff)
        parts << handOffNotice(app.name);
    if (plan.ownBus)
        parts << ownBusNotice(app.name);
    if (!plan.namedWindows)
        parts << unnamedWindowsNotice(app.name);
    else if (!plan.namedOnWayland)
        parts << unnamedOnWaylandNotice(app.name);
    return parts.join(QStringLiteral("\n\n"));
}

QString sandboxedTooltip(const QString &appName)
{
    return appName
        + tandrel::tr(QStringLiteral(" se ejecuta en el sandbox de Flatpak o Snap — no se puede duplicar."),
            QStringLiteral(" runs in a Flatpak or Snap sandbox — it can't be duplicated."));
}

QString sandboxedExplanation()
{
    return tandrel::tr(
        QStringLiteral(
            "Estas apps se ejecutan en el sandbox de Flatpak o Snap: el sandbox decide dónde guardan sus "
            "datos, así que una instancia compartiría la sesión original. Si la app existe como paquete "
            "del sistema o descarga directa, esa versión sí suele ser duplicable."),
        QStringLiteral(
            "These apps run in a Flatpak or Snap sandbox: the sandbox decides where they keep their data, "
            "so an instance would share the original session. If the app exists as a system package or a "
            "direct download, that version is usually duplicable."));
}

QString notStartedMessage(const QString &instanceName)
{
    const QString name = QLatin1Char('"') + instanceName + QLatin1Char('"');
    return tandrel::tr(QStringLiteral("No se pudo abrir ") + name
            + QStringLiteral(": su programa no está instalado o no se puede ejecutar."),
        QStringLiteral("Couldn't open ") + name
            + QStringLiteral(": its program isn't installed or can't be run."));
}

QString earlyExitMessage(const QString &instanceName, const EarlyExit &exit)
{
    const QString name = QLatin1Char('"') + instanceName + QLatin1Char('"');
    const QString number = QString::number(exit.signal ? exit.signal : exit.exitCode);
    QString text = exit.signal
        ? tandrel::tr(name + QStringLiteral(" se cerró nada más abrirse: lo terminó la señal ") + number
                + QLatin1Char('.'),
            name + QStringLiteral(" closed right after it started: signal ") + number
                + QStringLiteral(" ended it."))
        : tandrel::tr(name + QStringLiteral(" se cerró nada más abrirse con el estado de salida ") + number
                + QLatin1Char('.'),
            name + QStringLiteral(" closed right after it started, with exit status ") + number
                + QLatin1Char('.'));
    if (!exit.lastLines.isEmpty())
        text += tandrel::tr(QStringLiteral("\n\nSus últimas líneas de error:\n"),
                    QStringLiteral("\n\nIts last lines of error output:\n"))
            + exit.lastLines;
    return text;
}

} // namespace tandrel
