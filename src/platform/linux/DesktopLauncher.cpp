#include "platform/linux/DesktopLauncher.h"

#include <gio/gdesktopappinfo.h>

#include <memory>

namespace tandrel {
namespace {

struct ObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
using AppInfo = std::unique_ptr<GDesktopAppInfo, ObjectUnref>;

AppInfo load(const QString &path)
{
    return AppInfo(g_desktop_app_info_new_from_filename(path.toUtf8().constData()));
}

void appendQuoted(QByteArray &command, const char *value)
{
    if (!value)
        return;
    gchar *quoted = g_shell_quote(value);
    command += quoted;
    g_free(quoted);
}

} // namespace

bool launchDesktopFile(const QString &path)
{
    const AppInfo info = load(path);
    if (!info)
        return false;
    std::unique_ptr<GAppLaunchContext, ObjectUnref> context(g_app_launch_context_new());
    GError *error = nullptr;
    const bool launched = g_app_info_launch(G_APP_INFO(info.get()), nullptr, context.get(), &error);
    g_clear_error(&error);
    return launched;
}

QStringList desktopFileCommandLine(const QString &path)
{
    const AppInfo info = load(path);
    const char *exec = info ? g_app_info_get_commandline(G_APP_INFO(info.get())) : nullptr;
    if (!exec)
        return {};
    // The field codes as GIO expands them with no files: the file and URL codes vanish,
    // %i, %c and %k become the icon option, the name and the entry's path, quoted.
    QByteArray command;
    for (const char *c = exec; *c; ++c) {
        if (*c != '%' || !c[1]) {
            command += *c;
            continue;
        }
        switch (*++c) {
        case '%':
            command += '%';
            break;
        case 'i': {
            gchar *icon = g_desktop_app_info_get_string(info.get(), "Icon");
            if (icon && *icon) {
                command += "--icon ";
                appendQuoted(command, icon);
            }
            g_free(icon);
            break;
        }
        case 'c':
            appendQuoted(command, g_app_info_get_name(G_APP_INFO(info.get())));
            break;
        case 'k':
            appendQuoted(command, g_desktop_app_info_get_filename(info.get()));
            break;
        default:
            break;
        }
    }
    gint count = 0;
    gchar **argv = nullptr;
    QStringList words;
    if (g_shell_parse_argv(command.constData(), &count, &argv, nullptr)) {
        for (gint i = 0; i < count; ++i)
            words << QString::fromUtf8(argv[i]);
        g_strfreev(argv);
    }
    return words;
}

} // namespace tandrel
