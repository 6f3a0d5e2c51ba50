#include "platform/LinkHandler.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QThread>

#include <gio/gdesktopappinfo.h>

#include <memory>

namespace tandrel::linkhandler {
namespace {

const char *const schemes[] = { "http", "https" };
const char desktopId[] = "io.tandrel.TandrelLinks.desktop";
const char markerKey[] = "X-Tandrel-Links";

struct ObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
using AppInfo = std::unique_ptr<GAppInfo, ObjectUnref>;

QString previousKey(const char *scheme)
{
    return QStringLiteral("links/previous/") + QLatin1String(scheme);
}

QString entryPath()
{
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(home)) {
        const QString userHome = qEnvironmentVariable("HOME");
        if (!QDir::isAbsolutePath(userHome) || QDir::cleanPath(userHome) == QLatin1String("/"))
            return {};
        home = userHome + QStringLiteral("/.local/share");
    }
    return QDir::cleanPath(home) + QStringLiteral("/applications/") + QLatin1String(desktopId);
}

QString defaultIdFor(const char *scheme)
{
    const AppInfo info(g_app_info_get_default_for_uri_scheme(scheme));
    const char *id = info ? g_app_info_get_id(info.get()) : nullptr;
    return id ? QString::fromUtf8(id) : QString();
}

// A word of the Exec key: quoted, with the characters the quotes keep special escaped.
QByteArray execWord(const QString &text)
{
    QByteArray word = "\"";
    for (const char c : text.toUtf8()) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            word += '\\';
        word += c == '%' ? QByteArray("%%") : QByteArray(1, c);
    }
    return word + '"';
}

bool writeEntry(const QString &path, const QString &program)
{
    std::unique_ptr<GKeyFile, decltype(&g_key_file_free)> file(g_key_file_new(), g_key_file_free);
    const char *group = G_KEY_FILE_DESKTOP_GROUP;
    g_key_file_set_string(file.get(), group, "Type", "Application");
    g_key_file_set_string(file.get(), group, "Name", "Tandrel — Choose the account for links");
    g_key_file_set_locale_string(
        file.get(), group, "Name", "es", "Tandrel — Elegir la cuenta de los enlaces");
    g_key_file_set_string(file.get(), group, "Icon", "io.tandrel.Tandrel");
    g_key_file_set_string(file.get(), group, "Exec", (execWord(program) + " route %u").constData());
    g_key_file_set_string(file.get(), group, "MimeType", "x-scheme-handler/http;x-scheme-handler/https;");
    g_key_file_set_boolean(file.get(), group, "NoDisplay", true);
    g_key_file_set_boolean(file.get(), group, "StartupNotify", false);
    g_key_file_set_boolean(file.get(), group, markerKey, true);
    gsize size = 0;
    std::unique_ptr<gchar, decltype(&g_free)> text(g_key_file_to_data(file.get(), &size, nullptr), g_free);
    try {
        fs::createDirectory(QFileInfo(path).path());
    } catch (const FileSystemError &) {
        return false;
    }
    // Written beside and renamed over: a link planted at the path is replaced, never followed.
    QSaveFile save(path);
    return text && save.open(QIODevice::WriteOnly) && save.write(text.get(), qint64(size)) == qint64(size)
        && save.commit();
}

// GIO notices a new entry through a file monitor of its own thread: wait for it briefly.
AppInfo ownEntry()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (GDesktopAppInfo *info = g_desktop_app_info_new(desktopId))
            return AppInfo(G_APP_INFO(info));
        QThread::msleep(20);
    }
    return nullptr;
}

} // namespace

bool isDefault()
{
    for (const char *scheme : schemes) {
        if (defaultIdFor(scheme) != QLatin1String(desktopId))
            return false;
    }
    return true;
}

bool makeDefault(const QString &program)
{
    const QString path = entryPath();
    if (path.isEmpty() || !writeEntry(path, program))
        return false;
    const AppInfo ours = ownEntry();
    if (!ours)
        return false;
    QSettings settings;
    for (const char *scheme : schemes) {
        const QString previous = defaultIdFor(scheme);
        if (previous != QLatin1String(desktopId))
            settings.setValue(previousKey(scheme), previous);
        const QByteArray type = QByteArray("x-scheme-handler/") + scheme;
        if (!g_app_info_set_as_default_for_type(ours.get(), type.constData(), nullptr)) {
            restoreDefaults();
            return false;
        }
    }
    settings.sync();
    return true;
}

void restoreDefaults()
{
    QSettings settings;
    settings.sync();
    for (const char *scheme : schemes) {
        const QByteArray type = QByteArray("x-scheme-handler/") + scheme;
        const QString previous = settings.value(previousKey(scheme)).toString();
        settings.remove(previousKey(scheme));
        if (defaultIdFor(scheme) != QLatin1String(desktopId))
            continue; // the user chose another since
        const AppInfo before(previous.isEmpty() || previous.size() > 255
                ? nullptr
                : G_APP_INFO(g_desktop_app_info_new(previous.toUtf8().constData())));
        if (before)
            g_app_info_set_as_default_for_type(before.get(), type.constData(), nullptr);
        else // none before (or it is gone): the desktop's own choice again, as before Tandrel
            g_app_info_reset_type_associations(type.constData());
    }
    settings.sync();
    // Only Tandrel's own entry, never through a link.
    const QString path = entryPath();
    if (path.isEmpty() || fs::itemKind(path) != fs::ItemKind::File)
        return;
    try {
        const QByteArray bytes = fs::readFile(path, 64 * 1024);
        std::unique_ptr<GKeyFile, decltype(&g_key_file_free)> file(g_key_file_new(), g_key_file_free);
        if (g_key_file_load_from_data(
                file.get(), bytes.constData(), gsize(bytes.size()), G_KEY_FILE_NONE, nullptr)
            && g_key_file_get_boolean(file.get(), G_KEY_FILE_DESKTOP_GROUP, markerKey, nullptr))
            fs::removeItem(path);
    } catch (const FileSystemError &) {
        // Left where it is: an entry that only names Tandrel does no harm.
    }
}

} // namespace tandrel::linkhandler
