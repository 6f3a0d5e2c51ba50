#include "model/Store.h"

#include "model/NameOrder.h"
#include "model/Roads.h"
#include "model/TandrelError.h"
#include "platform/FileSystem.h"
#include "platform/Workspace.h"

namespace tandrel {

void Store::scanSpaces()
{
    QList<SpaceInfo> spaces;
    for (const Road *road : roads())
        spaces.append(road->scanInstances());
    sortByName(spaces, [](const SpaceInfo &space) { return space.name; });
    setSpaces(std::move(spaces));
}

RemovalReport Store::deleteSpace(const SpaceInfo &space)
{
    RemovalReport report;
    const Road &road = roadFor(space.id());
    try {
        const bool launcherGone = road.removeLauncher(space, report);
        if (space.dataDir) {
            if (launcherGone)
                removeDataFolder(*space.dataDir, space.instanceId, road.dataRoots(), report);
            else if (fs::itemKind(*space.dataDir) != fs::ItemKind::Missing)
                report.leftovers.append({ *space.dataDir, LeftoverReason::KeptWithInstance, {} });
        }
    } catch (const TandrelError &error) {
        report.leftovers.append({ space.id(), LeftoverReason::Failed, error.errorDescription() });
    }
    scanSpaces();
    return report;
}

void Store::launchSpace(const SpaceInfo &space)
{
    roadFor(space.id()).launch(space);
}

void Store::revealSpace(const SpaceInfo &space)
{
    Workspace::shared().activateFileViewerSelecting({ space.url });
}

QList<UninstallPlace> Store::uninstallPlaces()
{
    QList<UninstallPlace> places;
    for (const Road *road : roads())
        places.append(road->uninstallPlaces());
    return places;
}

RemovalReport Store::removeEverything()
{
    RemovalReport report;
    for (const Road *road : roads())
        road->removeAll(report);
    return report;
}

} // namespace tandrel
