#include "model/Store.h"

#include "l10n/Tr.h"
#include "model/FaultPoint.h"
#include "model/InstanceId.h"
#include "model/NameOrder.h"
#include "model/OperationLock.h"
#include "model/Roads.h"
#include "model/Staging.h"
#include "model/TandrelError.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/Workspace.h"

namespace tandrel {
namespace {

struct Patience
{
    std::chrono::milliseconds wait { 3000 };
    std::function<void()> waiting;
};

Patience &patienceSetting()
{
    static Patience setting;
    return setting;
}

QList<SpaceInfo> everyInstance()
{
    QList<SpaceInfo> spaces;
    for (const Road *road : roads())
        spaces.append(road->scanInstances());
    return spaces;
}

void keptWithInstance(const SpaceInfo &space, RemovalReport &report)
{
    if (space.dataDir && fs::itemKind(*space.dataDir) != fs::ItemKind::Missing)
        report.leftovers.append({ *space.dataDir, LeftoverReason::KeptWithInstance, {} });
}

// Under the lock. The instance is looked up again: another Tandrel may have deleted it.
void deleteLocked(const SpaceInfo &asked, RemovalReport &report)
{
    const QList<SpaceInfo> all = everyInstance();
    const auto current = std::find_if(
        all.cbegin(), all.cend(), [&asked](const SpaceInfo &space) { return space.url == asked.url; });
    if (current == all.cend()) {
        // Gone meanwhile is done; anything else there is not an instance Tandrel lists.
        const fs::ItemKind kind = fs::itemKind(asked.id());
        if (kind != fs::ItemKind::Missing)
            report.leftovers.append({ asked.id(),
                kind == fs::ItemKind::Link ? LeftoverReason::Link : LeftoverReason::NotMadeByTandrel, {} });
        return;
    }
    const SpaceInfo &space = *current;
    const Road &road = roadFor(space.id());
    // An id belongs to one launcher. A second one carrying it (a copied wrapper, an entry
    // made by hand) means neither may take the data with it.
    const auto carriers = space.instanceId
        ? std::count_if(all.cbegin(), all.cend(),
            [&space](const SpaceInfo &other) { return other.instanceId == space.instanceId; })
        : 0;
    const QString staged = stagedPath(space.id().left(space.id().lastIndexOf(QLatin1Char('/'))),
        space.instanceId.value_or(newInstanceId()), Stage::Gone);
    if (!road.withdrawLauncher(space, staged, report)) {
        keptWithInstance(space, report);
        return;
    }
    faultPoint("delete-withdrawn");
    if (space.dataDir) {
        if (carriers == 1)
            removeDataFolder(*space.dataDir, space.instanceId, road.dataRoots(), report);
        else if (fs::itemKind(*space.dataDir) != fs::ItemKind::Missing)
            report.leftovers.append({ *space.dataDir, LeftoverReason::NotItsDataFolder, {} });
    }
    if (fs::itemKind(staged) != fs::ItemKind::Missing)
        removeReporting(staged, report);
}

} // namespace

void Store::setPatience(std::chrono::milliseconds patience, std::function<void()> waiting)
{
    patienceSetting() = { patience, std::move(waiting) };
}

std::chrono::milliseconds Store::patience()
{
    return patienceSetting().wait;
}

std::function<void()> Store::lockWaiting()
{
    return patienceSetting().waiting;
}

void Store::scanSpaces()
{
    QList<SpaceInfo> spaces = everyInstance();
    sortByName(spaces, [](const SpaceInfo &space) { return space.name; });
    setSpaces(std::move(spaces));
}

void Store::rescanSpaces()
{
    QList<SpaceInfo> spaces = everyInstance();
    sortByName(spaces, [](const SpaceInfo &space) { return space.name; });
    if (spaces != m_spaces)
        setSpaces(std::move(spaces));
}

RemovalReport Store::deleteSpace(const SpaceInfo &space)
{
    // The instance may be one of spaces(), which the rescan below replaces.
    const bool hadId = space.instanceId.has_value();
    RemovalReport report;
    try {
        const OperationLock lock(patience(), lockWaiting());
        recoverInterrupted();
        // A running app would write its files back into a folder no instance lists.
        if (space.dataDir && !processesUsing({ *space.dataDir }).isEmpty())
            throw TandrelError::msg(tandrel::tr(QLatin1Char('"') + space.name
                    + QStringLiteral("\" está abierta: detenla antes de eliminarla."),
                QLatin1Char('"') + space.name
                    + QStringLiteral("\" is running: stop it before deleting it.")));
        deleteLocked(space, report);
    } catch (const TandrelError &error) {
        report.leftovers.append({ space.id(), LeftoverReason::Failed, error.errorDescription() });
        keptWithInstance(space, report);
    } catch (const FileSystemError &error) {
        report.leftovers.append({ space.id(), LeftoverReason::Failed, error.errorDescription() });
        keptWithInstance(space, report);
    }
    scanSpaces();
    if (report.isComplete() && hadId)
        linkRules(m_spaces); // its rules go with it
    return report;
}

void Store::launchSpace(const SpaceInfo &space, const LaunchFailureHandler &onFailure)
{
    roadFor(space.id()).launch(space, {}, onFailure);
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
    try {
        const OperationLock lock(patience(), lockWaiting());
        recoverInterrupted();
        // Links go back to the browser they went to before Tandrel took them.
        stopBeingLinkHandler();
        for (const Road *road : roads())
            road->removeAll(report);
    } catch (const TandrelError &error) {
        report.leftovers.append(
            { qEnvironmentVariable("HOME"), LeftoverReason::Failed, error.errorDescription() });
    } catch (const FileSystemError &error) {
        report.leftovers.append(
            { qEnvironmentVariable("HOME"), LeftoverReason::Failed, error.errorDescription() });
    }
    return report;
}

} // namespace tandrel
