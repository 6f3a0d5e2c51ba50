#include "model/bundle/BundleRoad.h"

#include "model/Store.h"
#include "model/bundle/WrapperOwnership.h"
#include "model/bundle/WrapperRemoval.h"
#include "platform/FileSystem.h"

namespace tandrel {
namespace {

SpaceInfo readSpace(const QString &wrapperPath)
{
    SpaceInfo space { QUrl::fromLocalFile(wrapperPath), baseNameWithoutExtension(wrapperPath), std::nullopt,
        std::nullopt, std::nullopt };
    QByteArray json;
    try {
        json = fs::readFile(
            wrapperPath + QStringLiteral("/Contents/Resources/space.json"), maxSpaceRecordSize);
    } catch (const FileSystemError &) {
        return space;
    }
    const SpaceRecordFacts facts = readSpaceRecord(json);
    space.targetPath = facts.target;
    space.dataDir = facts.dataDir;
    space.createdAt = facts.createdAt;
    space.mode = facts.mode;
    space.instanceName = facts.name;
    space.badge = facts.badge;
    // A record copied into another wrapper, or planted in a bundle that is not ours,
    // names a data folder that this wrapper does not own.
    const std::optional<QString> carried = wrapperInstanceId(wrapperPath);
    if (carried && facts.id == carried)
        space.instanceId = carried;
    return space;
}

} // namespace

QList<SpaceInfo> BundleRoad::scanInstances() const
{
    QStringList entries;
    try {
        entries = fs::contentsOfDirectory(Store::spacesDir());
    } catch (const std::exception &) {
        // A missing or unreadable folder, or no home at all, simply means no instances.
    }
    QList<SpaceInfo> spaces;
    for (const QString &entry : std::as_const(entries)) {
        if (hasAppExtension(entry))
            spaces.append(readSpace(entry));
    }
    return spaces;
}

std::optional<QString> BundleRoad::carriedId(const QString &launcher) const
{
    return wrapperInstanceId(launcher);
}

bool BundleRoad::withdrawLauncher(const SpaceInfo &space, const QString &staged, RemovalReport &report) const
{
    return removeWrapper(space.id(), Store::spacesDir(), space.instanceId, report, staged);
}

void BundleRoad::removeAll(RemovalReport &report) const
{
    const QString spacesDir = Store::spacesDir();
    for (const QString &entry : entriesOf(spacesDir)) {
        if (isFinderMetadata(entry))
            removeReporting(entry, report);
        else
            removeWrapper(entry, spacesDir, std::nullopt, report);
    }
    removeRoot(spacesDir, report);
    removeDataRoot(Store::dataRoot(), report);
}

} // namespace tandrel
