#include "model/desktop/IconTheme.h"

#include "model/AppIcons.h"
#include "model/desktop/DesktopApps.h"
#include "platform/FileSystem.h"

#include <QHash>
#include <QMutex>
#include <QSet>

#include <gio/gio.h>

#include <climits>

namespace tandrel {
namespace {

// An index is a few tens of kilobytes (Adwaita's is the largest); a theme is a handful of
// inheritances deep; anything beyond these is not a theme (and may be planted).
constexpr qint64 maxIndexSize = 1024 * 1024;
constexpr int maxDirectories = 2048;
constexpr int maxInheritance = 12;

// One folder of a theme and the sizes its icons suit, as its index describes them.
struct IconDirectory
{
    QString path;
    int size = 0;
    int scale = 1;
    int minSize = 0;
    int maxSize = 0;
};

struct ThemeIndex
{
    QList<IconDirectory> directories;
    QStringList inherits;
};

QMutex indexMutex;
QHash<QString, std::optional<ThemeIndex>> indexes; // by theme and search path; guarded by indexMutex

QStringList dataFolders()
{
    QStringList folders;
    if (const std::optional<QString> home = dataHome())
        folders << *home;
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    folders << dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return folders;
}

QStringList iconBases(const QStringList &dataFolders)
{
    QStringList bases;
    if (const std::optional<QString> home = fs::homeDirectory())
        bases << *home + QStringLiteral("/.icons");
    for (const QString &folder : dataFolders)
        bases << folder + QStringLiteral("/icons");
    return bases;
}

// hicolor as its package describes it, for a system whose hicolor has no index.
ThemeIndex standardHicolor()
{
    ThemeIndex index;
    for (const int size : { 16, 22, 24, 32, 36, 48, 64, 72, 96, 128, 192, 256, 384, 512 }) {
        const QString side = QString::number(size);
        index.directories << IconDirectory { side + QLatin1Char('x') + side + QStringLiteral("/apps"), size,
            1, size, size };
    }
    index.directories << IconDirectory { QStringLiteral("scalable/apps"), 128, 1, 1, 512 };
    return index;
}

int integer(GKeyFile *file, const QByteArray &group, const char *key, int fallback)
{
    GError *error = nullptr;
    const gint value = g_key_file_get_integer(file, group.constData(), key, &error);
    if (error) {
        g_error_free(error);
        return fallback;
    }
    return value;
}

QStringList list(GKeyFile *file, const char *group, const char *key)
{
    gchar *text = g_key_file_get_string(file, group, key, nullptr);
    const QString value = QString::fromUtf8(text);
    g_free(text);
    return value.split(QLatin1Char(','), Qt::SkipEmptyParts);
}

// The theme's index.theme from the first base that has one, read as the desktop reads it.
std::optional<ThemeIndex> readIndex(const QString &theme, const QStringList &bases)
{
    for (const QString &base : bases) {
        QByteArray bytes;
        try {
            bytes = fs::readFile(
                base + QLatin1Char('/') + theme + QStringLiteral("/index.theme"), maxIndexSize);
        } catch (const FileSystemError &) {
            continue;
        }
        std::unique_ptr<GKeyFile, decltype(&g_key_file_free)> file(g_key_file_new(), g_key_file_free);
        if (!g_key_file_load_from_data(
                file.get(), bytes.constData(), gsize(bytes.size()), G_KEY_FILE_NONE, nullptr)
            || !g_key_file_has_group(file.get(), "Icon Theme"))
            continue;
        ThemeIndex index;
        index.inherits = list(file.get(), "Icon Theme", "Inherits");
        const QStringList directories = list(file.get(), "Icon Theme", "Directories")
            + list(file.get(), "Icon Theme", "ScaledDirectories");
        for (const QString &path : directories.mid(0, maxDirectories)) {
            const QByteArray group = path.toUtf8();
            if (path.contains(QStringLiteral("..")) || !g_key_file_has_group(file.get(), group.constData()))
                continue;
            IconDirectory directory;
            directory.path = path;
            directory.size = integer(file.get(), group, "Size", 0);
            directory.scale = integer(file.get(), group, "Scale", 1);
            gchar *type = g_key_file_get_string(file.get(), group.constData(), "Type", nullptr);
            const QByteArray kind = type ? QByteArray(type) : QByteArrayLiteral("Threshold");
            g_free(type);
            if (kind == "Scalable") {
                directory.minSize = integer(file.get(), group, "MinSize", directory.size);
                directory.maxSize = integer(file.get(), group, "MaxSize", directory.size);
            } else if (kind == "Threshold") {
                const int threshold = integer(file.get(), group, "Threshold", 2);
                directory.minSize = directory.size - threshold;
                directory.maxSize = directory.size + threshold;
            } else {
                directory.minSize = directory.maxSize = directory.size;
            }
            if (directory.size > 0 && directory.scale == 1)
                index.directories << directory;
        }
        return index;
    }
    return std::nullopt;
}

std::optional<ThemeIndex> themeIndex(const QString &theme, const QStringList &bases)
{
    const QString key = theme + QLatin1Char('\n') + bases.join(QLatin1Char(':'));
    {
        const QMutexLocker locker(&indexMutex);
        const auto found = indexes.constFind(key);
        if (found != indexes.constEnd())
            return *found;
    }
    std::optional<ThemeIndex> index = readIndex(theme, bases);
    if (!index && theme == QStringLiteral("hicolor"))
        index = standardHicolor();
    const QMutexLocker locker(&indexMutex);
    indexes.insert(key, index);
    return index;
}

// How far a folder's icons are from the size asked for: 0 when they suit it; a larger icon,
// scaled down, looks better than a smaller one scaled up, so it comes first.
int distance(const IconDirectory &directory, int size)
{
    if (size >= directory.minSize && size <= directory.maxSize)
        return 0;
    if (directory.minSize > size)
        return directory.minSize - size;
    return 1'000'000 + size - directory.maxSize;
}

QString lookInTheme(const QString &name, int size, const ThemeIndex &index, const QStringList &bases)
{
    QString closest;
    int closestDistance = INT_MAX;
    for (const IconDirectory &directory : index.directories) {
        const int away = distance(directory, size);
        if (away >= closestDistance)
            continue;
        for (const QString &base : bases) {
            for (const char *extension : { ".png", ".svg", ".xpm" }) {
                const QString path = base + QLatin1Char('/') + directory.path + QLatin1Char('/') + name
                    + QLatin1String(extension);
                if (fs::itemKind(fs::resolvedPath(path)) != fs::ItemKind::File)
                    continue;
                if (away == 0)
                    return path;
                closest = path;
                closestDistance = away;
                break;
            }
            if (closestDistance == away)
                break;
        }
    }
    return closest;
}

// The theme and what it inherits, depth first, each once, hicolor last.
void addChain(const QString &theme, const QStringList &bases, QStringList &chain, int depth)
{
    if (depth > maxInheritance || theme.isEmpty() || theme.contains(QLatin1Char('/'))
        || theme == QStringLiteral("hicolor") || chain.contains(theme))
        return;
    const std::optional<ThemeIndex> index = themeIndex(theme, bases);
    if (!index)
        return;
    chain << theme;
    for (const QString &parent : index->inherits)
        addChain(parent.trimmed(), bases, chain, depth + 1);
}

} // namespace

QString themeIconFile(const QString &name, int size)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.')))
        return {};
    const QString theme = iconThemeName();
    const QStringList folders = dataFolders();
    const QStringList bases = iconBases(folders);
    QStringList chain;
    addChain(theme, bases, chain, 0);
    chain << QStringLiteral("hicolor");
    for (const QString &member : std::as_const(chain)) {
        const std::optional<ThemeIndex> index = themeIndex(member, bases);
        if (!index)
            continue;
        QStringList themeBases;
        for (const QString &base : bases)
            themeBases << base + QLatin1Char('/') + member;
        const QString found = lookInTheme(name, size, *index, themeBases);
        if (!found.isEmpty())
            return found;
    }
    for (const QString &folder : folders) {
        for (const char *extension : { ".png", ".svg", ".xpm" }) {
            const QString path = folder + QStringLiteral("/pixmaps/") + name + QLatin1String(extension);
            if (fs::itemKind(fs::resolvedPath(path)) == fs::ItemKind::File)
                return path;
        }
    }
    return {};
}

} // namespace tandrel
