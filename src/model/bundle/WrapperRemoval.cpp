#include "model/bundle/WrapperRemoval.h"

#include "model/InstalledApp.h"
#include "model/bundle/WrapperOwnership.h"
#include "platform/FileSystem.h"

#include <QDir>

namespace tandrel {
namespace {

QString parentOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

bool sameFolder(const QString &a, const QString &b)
{
    if (QDir::cleanPath(a) == QDir::cleanPath(b))
        return true;
    const QString resolvedA = fs::resolvedPath(a);
    return !resolvedA.isEmpty() && resolvedA == fs::resolvedPath(b);
}

} // namespace

bool removeWrapper(const QString &wrapperPath, const QString &spacesDir,
    const std::optional<QString> &instanceId, RemovalReport &report, const QString &withdrawTo)
{
    return removeLauncherWhenOurs(
        wrapperPath,
        [&] {
            const std::optional<QString> carried = wrapperInstanceId(wrapperPath);
            const bool ours
                = carried ? (!instanceId || *carried == *instanceId) : isWrapperSkeleton(wrapperPath);
            return ours && sameFolder(parentOf(wrapperPath), spacesDir) && hasAppExtension(wrapperPath);
        },
        report, withdrawTo);
}

} // namespace tandrel
