// Clearing a browser instance's cache: only the folders a fixed table names, inside the
// instance's own data folder, never through a link, never while it runs.
#include "model/Store.h"

#include "l10n/Tr.h"
#include "model/OperationLock.h"
#include "model/TandrelError.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"

namespace tandrel {
namespace {

// Where each kind of browser keeps what it can fetch again, relative to its profile root.
// Chromium keeps its disk cache inside a user data folder of its own choosing; Gecko keeps
// it in the profile when the profile is not under its default root.
const QStringList chromiumRootCaches { QStringLiteral("ShaderCache"), QStringLiteral("GrShaderCache"),
    QStringLiteral("GraphiteDawnCache") };
const QStringList chromiumProfileCaches { QStringLiteral("Cache"), QStringLiteral("Code Cache"),
    QStringLiteral("GPUCache"), QStringLiteral("DawnCache") };
const QStringList geckoCaches { QStringLiteral("cache2"), QStringLiteral("startupCache"),
    QStringLiteral("thumbnails") };

// True when the path and every folder between it and `base` is a real folder.
bool realFolderWithin(const QString &base, const QString &path)
{
    if (!path.startsWith(base + QLatin1Char('/')))
        return false;
    for (QString at = path; at.size() > base.size(); at = at.left(at.lastIndexOf(QLatin1Char('/')))) {
        if (fs::itemKind(at) != fs::ItemKind::Directory)
            return false;
    }
    return true;
}

QStringList cacheFolders(const QString &dataDir, LaunchStrategy mode)
{
    QStringList found;
    // The profile root is the data folder itself (wrapper bundles) or its "profile" folder.
    for (const QString &root : { dataDir, dataDir + QStringLiteral("/profile") }) {
        if (!realFolderWithin(dataDir, root) && root != dataDir)
            continue;
        if (mode == LaunchStrategy::GeckoProfile) {
            for (const QString &cache : geckoCaches)
                found << root + QLatin1Char('/') + cache;
            continue;
        }
        for (const QString &cache : chromiumRootCaches)
            found << root + QLatin1Char('/') + cache;
        QStringList profiles;
        try {
            profiles = fs::contentsOfDirectory(root);
        } catch (const FileSystemError &) {
        }
        for (const QString &profile : std::as_const(profiles)) {
            const QString name = profile.mid(profile.lastIndexOf(QLatin1Char('/')) + 1);
            if (name == QLatin1String("Default") || name.startsWith(QLatin1String("Profile ")))
                for (const QString &cache : chromiumProfileCaches)
                    found << profile + QLatin1Char('/') + cache;
        }
    }
    QStringList real;
    for (const QString &folder : std::as_const(found)) {
        if (realFolderWithin(dataDir, folder))
            real << folder;
    }
    return real;
}

} // namespace

bool Store::hasCache(const SpaceInfo &space)
{
    const std::optional<LaunchStrategy> mode = space.mode ? strategyFromText(*space.mode) : std::nullopt;
    return space.dataDir && mode && *mode != LaunchStrategy::IsolatedHome;
}

qint64 Store::clearCache(const SpaceInfo &space)
{
    if (!hasCache(space))
        return 0;
    const OperationLock lock(patience(), lockWaiting());
    const QString dataDir = *space.dataDir;
    if (fs::itemKind(dataDir) != fs::ItemKind::Directory)
        return 0;
    // A running browser would write a half-cleared cache back, or fail on it.
    if (!processesUsing({ dataDir }).isEmpty())
        throw TandrelError::msg(tandrel::tr(QLatin1Char('"') + space.name
                + QStringLiteral("\" está abierta: detenla antes de vaciar su caché."),
            QLatin1Char('"') + space.name
                + QStringLiteral("\" is running: stop it before clearing its cache.")));
    qint64 freed = 0;
    for (const QString &folder : cacheFolders(dataDir, *strategyFromText(*space.mode))) {
        const qint64 bytes = fs::diskUsage(folder);
        fs::removeItem(folder);
        freed += bytes;
    }
    return freed;
}

} // namespace tandrel
