#include "model/Store.h"

#include "model/BundleInfo.h"
#include "model/DesktopSpaces.h"
#include "model/NameOrder.h"
#include "model/Ownership.h"
#include "model/SpaceRecord.h"
#include "model/TandrelError.h"
#include "platform/FileSystem.h"
#include "platform/Workspace.h"

namespace tandrel {
namespace {

SpaceInfo readSpace(const QString &wrapperPath)
{
    SpaceInfo space{QUrl::fromLocalFile(wrapperPath), baseNameWithoutExtension(wrapperPath),
                    std::nullopt, std::nullopt, std::nullopt};
    QByteArray json;
    try {
        json = fs::readFile(wrapperPath + QStringLiteral("/Contents/Resources/space.json"), maxSpaceRecordSize);
    } catch (const FileSystemError &) {
        return space;
    }
    const SpaceRecordFacts facts = readSpaceRecord(json);
    space.targetPath = facts.target;
    space.dataDir = facts.dataDir;
    space.createdAt = facts.createdAt;
    space.mode = facts.mode;
    space.instanceName = facts.name;
    // A record copied into another wrapper, or planted in a bundle that is not ours,
    // names a data folder that this wrapper does not own.
    const std::optional<QString> carried = wrapperInstanceId(wrapperPath);
    if (carried && facts.id == carried)
        space.instanceId = carried;
    return space;
}

} // namespace

bool hasAppExtension(const QString &path)
{
    const QString fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && QStringView(fileName).mid(dot + 1) == QLatin1String("app");
}

void Store::scanSpaces()
{
    QStringList entries;
    try {
        entries = fs::contentsOfDirectory(spacesDir());
    } catch (const std::exception &) {
        // A missing or unreadable folder, or no home at all, simply means no instances.
    }
    QList<SpaceInfo> spaces;
    for (const QString &entry : std::as_const(entries)) {
        if (hasAppExtension(entry))
            spaces.append(readSpace(entry));
    }
    spaces.append(desktop::scanInstances());
    sortByName(spaces, [](const SpaceInfo &space) { return space.name; });
    setSpaces(std::move(spaces));
}

RemovalReport Store::deleteSpace(const SpaceInfo &space)
{
    RemovalReport report;
    try {
        const bool wrapperGone = space.id().endsWith(QLatin1String(".desktop"))
            ? desktop::removeInstanceEntry(space, report)
            : removeWrapper(space.id(), spacesDir(), space.instanceId, report);
        if (space.dataDir) {
            if (wrapperGone)
                removeDataFolder(*space.dataDir, space.instanceId, dataRoot(), report);
            else if (fs::itemKind(*space.dataDir) != fs::ItemKind::Missing)
                report.leftovers.append({*space.dataDir, LeftoverReason::KeptWithInstance, {}});
        }
    } catch (const TandrelError &error) {
        report.leftovers.append({space.id(), LeftoverReason::Failed, error.errorDescription()});
    }
    scanSpaces();
    return report;
}

void Store::launchSpace(const SpaceInfo &space)
{
    const QString path = space.id();
    const std::optional<BundleInfo> info = readBundleInfo(path);
    Workspace::shared().openApplication(space.url, info ? info->executablePath(path) : QString());
}

void Store::revealSpace(const SpaceInfo &space)
{
    Workspace::shared().activateFileViewerSelecting({space.url});
}

} // namespace tandrel
