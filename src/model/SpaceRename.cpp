// Renaming an instance or changing its badge: a new launcher, written by its road as a
// creation writes one, replaces the old in one step; the id, the mode and the data stay.
#include "model/Store.h"

#include "l10n/Tr.h"
#include "model/FaultPoint.h"
#include "model/InstanceName.h"
#include "model/OperationLock.h"
#include "model/Refusals.h"
#include "model/Roads.h"
#include "model/SpaceRecord.h"
#include "model/Staging.h"
#include "model/TandrelError.h"
#include "platform/FileSystem.h"

namespace tandrel {

QUrl Store::renameSpace(const SpaceInfo &space, const QString &name)
{
    return rewriteSpace(space, name, std::nullopt);
}

QUrl Store::setBadge(const SpaceInfo &space, const Badge &badge)
{
    return rewriteSpace(space, space.instanceName.value_or(QString()), badge);
}

QUrl Store::rewriteSpace(const SpaceInfo &asked, const QString &name, const std::optional<Badge> &badge)
{
    QString launcher;
    {
        const OperationLock lock(patience(), lockWaiting());
        recoverInterrupted();
        // Looked up again under the lock: another Tandrel may have changed it meanwhile.
        QList<SpaceInfo> all;
        for (const Road *road : roads())
            all.append(road->scanInstances());
        const auto current = std::find_if(
            all.cbegin(), all.cend(), [&asked](const SpaceInfo &space) { return space.url == asked.url; });
        const std::optional<InstalledApp> target
            = current != all.cend() && current->targetPath ? appAt(*current->targetPath) : std::nullopt;
        if (current == all.cend() || !current->instanceId || !current->dataDir || !current->mode
            || !strategyFromText(*current->mode) || !target
            || fs::itemKind(*current->dataDir) != fs::ItemKind::Directory)
            throw TandrelError::msg(
                tandrel::tr(QStringLiteral("No se puede renombrar ") + QLatin1Char('"') + asked.name
                        + QStringLiteral("\": su registro está incompleto o su app ya no está instalada."),
                    QStringLiteral("Can't rename \"") + asked.name
                        + QStringLiteral("\": its record is incomplete or its app is no longer installed.")));
        // A new badge keeps the name the record has; a rename keeps the badge.
        const QString instanceName
            = cleanedInstanceName(badge ? current->instanceName.value_or(QString()) : name);
        checkInstanceName(instanceName, target->name());
        const Road &road = roadFor(current->id());
        SpaceRecord record;
        record.id = *current->instanceId;
        record.name = instanceName;
        record.target = target->id();
        record.mode = *strategyFromText(*current->mode);
        record.dataDir = *current->dataDir;
        record.createdAt = current->createdAt.value_or(QDateTime::currentDateTimeUtc());
        record.badge = badge.value_or(current->badge);
        launcher = road.launcherPath(*target, record);
        const QString displayName = target->name() + QStringLiteral(" - ") + instanceName;
        if (displayName == current->name && record.badge == current->badge)
            return current->url;
        for (const SpaceInfo &other : std::as_const(all)) {
            if (other.name == displayName && other.url != current->url)
                throw existingNameError();
        }

        // Written beside the live ones; the fresh data folder is only drawn from.
        const QString stagedLauncher = stagedPath(road.instancesFolder(), record.id, Stage::New);
        const QString dataRoot = record.dataDir.left(record.dataDir.lastIndexOf(QLatin1Char('/')));
        const QString scratch = stagedPath(dataRoot, record.id, Stage::New);
        try {
            if (launcher != current->id() && fs::fileExists(launcher))
                throw existingNameError();
            road.writeInstance(*target, record, stagedLauncher, scratch);
            faultPoint("rename-written");
            // What describes the instance (its record, its badged icon) replaces its namesake,
            // each file in one step; the folders of a fresh instance are not the user's.
            for (const QString &file : fs::contentsOfDirectory(scratch)) {
                if (fs::itemKind(file) == fs::ItemKind::File)
                    fs::renameItem(file, record.dataDir + file.mid(file.lastIndexOf(QLatin1Char('/'))));
            }
            if (launcher == current->id()) {
                // The same place: the two swap in one step and the old one goes as staged.
                fs::exchangeItems(stagedLauncher, launcher);
            } else {
                if (!fs::renameNoReplace(stagedLauncher, launcher))
                    throw existingNameError();
                // Until this goes two launchers carry the id, and neither may take the data.
                faultPoint("rename-placed");
                fs::removeItem(current->id());
            }
        } catch (...) {
            removeStaged(stagedLauncher);
            removeStaged(scratch);
            throw;
        }
        removeStaged(stagedLauncher); // the old launcher, when the two swapped
        removeStaged(scratch);
    }
    roadFor(launcher).finishInstance(launcher);
    scanSpaces();
    return QUrl::fromLocalFile(launcher);
}

} // namespace tandrel
