#include "model/desktop/DesktopApps.h"

#include "model/InstalledApp.h"
#include "model/NameOrder.h"
#include "model/desktop/DesktopExec.h"
#include "model/desktop/DesktopKeyFile.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <gio/gdesktopappinfo.h>

#include <algorithm>

namespace tandrel {
namespace {

// Folders nest a level or two at most (kde4/, wine/Programs/…); deeper ones, and more
// entries in one folder than any desktop has, are not looked at.
constexpr int maxFolderDepth = 4;
constexpr int maxEntriesPerFolder = 10000;
// Keywords are a handful; a search needs no more.
constexpr int maxKeywords = 64;

const QString ownDesktopId = QStringLiteral("io.tandrel.Tandrel.desktop");
const char *const webLinkTypes[] = { "x-scheme-handler/https", "x-scheme-handler/http" };

QString environmentPath(const char *variable)
{
    const QString value = qEnvironmentVariable(variable);
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QString();
}

struct ObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};

// Adds the entries under the folder, with the desktop id each one gives, to `found`, while
// `budget` lasts.
void collectEntries(const QString &folder, const QString &idPrefix, int depth,
    QList<std::pair<QString, QString>> &found, int &budget)
{
    if (depth > maxFolderDepth || budget <= 0)
        return;
    QStringList children;
    try {
        children = fs::contentsOfDirectory(folder);
    } catch (const FileSystemError &) {
        return;
    }
    children.sort();
    for (const QString &child : std::as_const(children)) {
        const QString name = child.mid(child.lastIndexOf(QLatin1Char('/')) + 1);
        // Bundles hold no desktop entries, and a folder of apps may hold a thousand.
        if (hasAppExtension(name))
            continue;
        if (--budget < 0)
            return;
        // Links to folders are not entered: they could lead in circles.
        if (fs::itemKind(child) == fs::ItemKind::Directory)
            collectEntries(child, idPrefix + name + QLatin1Char('-'), depth + 1, found, budget);
        else if (name.endsWith(QLatin1String(".desktop")))
            found.append({ child, idPrefix + name });
    }
}

SandboxKind sandboxKind(GKeyFile *file, const QString &exec, const QString &program)
{
    if (hasKey(file, QStringLiteral("X-Flatpak")))
        return SandboxKind::Flatpak;
    if (hasKey(file, QStringLiteral("X-SnapInstanceName")))
        return SandboxKind::Snap;
    return execSandboxKind(exec, program);
}

} // namespace

std::optional<QString> dataHome()
{
    QString path = environmentPath("XDG_DATA_HOME");
    if (path.isEmpty()) {
        const std::optional<QString> home = fs::homeDirectory();
        if (!home)
            return std::nullopt;
        path = *home + QStringLiteral("/.local/share");
    }
    return path;
}

QStringList desktopApplicationFolders()
{
    QStringList folders;
    const auto add = [&folders](const QString &share) {
        if (!QDir::isAbsolutePath(share))
            return;
        const QString folder
            = withoutTrailingSeparators(QDir::cleanPath(share)) + QStringLiteral("/applications");
        if (!folders.contains(folder))
            folders << folder;
    };
    const std::optional<QString> home = dataHome();
    if (home)
        add(*home);
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString &dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        add(dir);
    add(QStringLiteral("/var/lib/flatpak/exports/share"));
    if (home)
        add(*home + QStringLiteral("/flatpak/exports/share"));
    add(QStringLiteral("/var/lib/snapd/desktop"));
    return folders;
}

std::optional<DesktopApp> readDesktopApp(const QString &path, const QString &desktopId)
{
    if (desktopId == ownDesktopId)
        return std::nullopt;
    const KeyFile file = loadDesktopKeyFile(path);
    if (!file || hasKey(file.get(), QLatin1String(instanceMarkerKey)))
        return std::nullopt;
    // GIO applies Type, TryExec and the Exec program's presence; it keeps the key file.
    const std::unique_ptr<GDesktopAppInfo, ObjectUnref> info(g_desktop_app_info_new_from_keyfile(file.get()));
    if (!info || g_desktop_app_info_get_is_hidden(info.get()) || g_desktop_app_info_get_nodisplay(info.get()))
        return std::nullopt;

    DesktopApp app;
    app.desktopId = desktopId;
    app.filePath = path;
    app.exec = keyString(file.get(), QStringLiteral("Exec"));
    app.program = resolveExecProgram(app.exec);
    if (keyString(file.get(), QStringLiteral("Name")).isEmpty() || app.program.isEmpty())
        return std::nullopt;
    app.name = QString::fromUtf8(g_app_info_get_name(G_APP_INFO(info.get())));
    QStringList words { QString::fromUtf8(g_desktop_app_info_get_generic_name(info.get())) };
    for (const char *const *keyword = g_desktop_app_info_get_keywords(info.get());
         keyword && *keyword && words.size() < maxKeywords; ++keyword)
        words << QString::fromUtf8(*keyword);
    words.removeAll(QString());
    app.keywords = words.join(QLatin1Char('\n'));
    app.icon = keyString(file.get(), QStringLiteral("Icon"));
    app.startupWmClass = keyString(file.get(), QStringLiteral("StartupWMClass"));
    app.dbusActivatable = keyBoolean(file.get(), QStringLiteral("DBusActivatable"));
    app.sandbox = sandboxKind(file.get(), app.exec, app.program);
    // A program that only hands the link to the desktop's default would bring it back to
    // Tandrel when Tandrel is that default: such entries open no links of their own.
    static const QStringList handOver { QStringLiteral("xdg-open"), QStringLiteral("gio"),
        QStringLiteral("sensible-browser"), QStringLiteral("x-www-browser"), QStringLiteral("exo-open"),
        QStringLiteral("kde-open"), QStringLiteral("kde-open5"), QStringLiteral("gnome-open"),
        QStringLiteral("tandrel") };
    if (!handOver.contains(QFileInfo(app.program).fileName())
        && g_app_info_supports_uris(G_APP_INFO(info.get()))) {
        for (const char *const *type = g_app_info_get_supported_types(G_APP_INFO(info.get())); type && *type;
             ++type) {
            app.opensLinks = app.opensLinks || qstrcmp(*type, webLinkTypes[0]) == 0
                || qstrcmp(*type, webLinkTypes[1]) == 0;
        }
    }
    return app;
}

QList<DesktopApp> discoverDesktopApps(const QStringList &folders)
{
    QList<std::pair<QString, QString>> entries; // path, desktop id
    for (const QString &folder : folders) {
        int budget = maxEntriesPerFolder;
        collectEntries(withoutTrailingSeparators(folder), QString(), 0, entries, budget);
    }
    QSet<QString> seen;
    QList<DesktopApp> apps;
    for (const auto &[path, id] : std::as_const(entries)) {
        if (seen.contains(id))
            continue;
        seen.insert(id);
        if (std::optional<DesktopApp> app = readDesktopApp(path, id))
            apps.append(std::move(*app));
    }
    sortByName(apps, [](const DesktopApp &app) { return app.name; });
    return apps;
}

} // namespace tandrel
