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

QString handOffNotice(const DesktopApp &app)
{
    return tandrel::tr(app.name
            + QStringLiteral(
                " suele pasar una segunda apertura a la copia que ya está en marcha: si la original está "
                "abierta, la instancia puede abrirse como otra ventana suya. Cierra la original antes "
                "de abrir la instancia."),
        app.name
            + QStringLiteral(
                " usually hands a second launch to the copy that is already open: if the original is "
                "running, the instance may open as another window of it. Quit the original before "
                "opening the instance."));
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

} // namespace tandrel
