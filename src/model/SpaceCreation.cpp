#include "model/Store.h"

#include "model/BadgedIcon.h"
#include "model/FaultPoint.h"
#include "model/InstanceId.h"
#include "model/InstanceName.h"
#include "model/OperationLock.h"
#include "model/Refusals.h"
#include "model/Roads.h"
#include "model/SpaceRecord.h"
#include "model/Staging.h"
#include "model/TandrelError.h"
#include "platform/FileSystem.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace tandrel {
namespace {

QString displayNameOf(const InstalledApp &target, const SpaceRecord &record)
{
    return target.name() + QStringLiteral(" - ") + record.name;
}

// Refuses a name taken; returns the badge colours the app's other instances show.
QStringList checkNameFree(const Road &road, const QString &displayName, const QString &target)
{
    QStringList colors;
    for (const SpaceInfo &space : road.scanInstances()) {
        if (space.name == displayName)
            throw existingNameError();
        if (space.targetPath == target)
            colors << shownBadgeColor(space.instanceName.value_or(space.name), space.badge);
    }
    return colors;
}

// A creation's result, carried from the background to the main thread.
struct Outcome
{
    QString launcher;
    QString error;
};

} // namespace

SpaceRecord Store::planSpace(
    const InstalledApp &target, const QString &name, Mode mode, std::optional<LaunchStrategy> forced)
{
    const QString instanceName = cleanedInstanceName(name);
    checkInstanceName(instanceName, target.name());
    home(); // nothing is written without a home to put it in
    const Road &road = roadFor(target.id());
    const AppFacts facts = road.factsOf(target, mode);
    if (!facts.refusal.isEmpty())
        throw TandrelError::msg(facts.refusal);
    if (!facts.strategy)
        throw unreadableAppError();

    SpaceRecord record;
    record.id = newInstanceId();
    record.name = instanceName;
    record.target = target.id();
    record.mode = forced.value_or(*facts.strategy);
    record.dataDir = road.dataRoot() + QLatin1Char('/') + record.id;
    record.createdAt = QDateTime::currentDateTimeUtc();
    // Two instances of one app look different from the start.
    record.badge.color
        = firstFreeBadgeColor(checkNameFree(road, displayNameOf(target, record), record.target));
    return record;
}

QString Store::buildSpace(const InstalledApp &target, const SpaceRecord &record,
    std::chrono::milliseconds patience, const std::function<void(const QString &stagedData)> &fill)
{
    const Road &road = roadFor(target.id());
    const OperationLock lock(patience, lockWaiting());
    recoverInterrupted();
    checkNameFree(
        road, displayNameOf(target, record), record.target); // another process may have taken it meanwhile

    const QString launcher = road.launcherPath(target, record);
    requireFolder(road.instancesFolder());
    const QString stagedLauncher = stagedPath(road.instancesFolder(), record.id, Stage::New);
    const QString dataRoot = record.dataDir.left(record.dataDir.lastIndexOf(QLatin1Char('/')));
    requireFolder(dataRoot);
    const QString stagedData = stagedPath(dataRoot, record.id, Stage::New);
    try {
        road.writeInstance(target, record, stagedLauncher, stagedData);
        if (fill)
            fill(stagedData);
        faultPoint("create-written");
        // The one step that makes the instance appear; it fails when the name is taken.
        if (!fs::renameNoReplace(stagedLauncher, launcher))
            throw existingNameError();
    } catch (...) {
        removeStaged(stagedLauncher);
        removeStaged(stagedData);
        throw;
    }
    faultPoint("create-placed");
    try {
        fs::renameItem(stagedData, record.dataDir);
    } catch (...) {
        removeStaged(launcher);
        removeStaged(stagedData);
        throw;
    }
    return launcher;
}

QUrl Store::createSpace(const InstalledApp &target, const QString &name, Mode mode)
{
    const QString launcher = buildSpace(target, planSpace(target, name, mode), patience());
    roadFor(target.id()).finishInstance(launcher);
    scanSpaces();
    return QUrl::fromLocalFile(launcher);
}

QUrl Store::createSpace(const InstalledApp &target, const QString &name, LaunchStrategy strategy)
{
    const QString launcher = buildSpace(target, planSpace(target, name, Mode::Auto, strategy), patience());
    roadFor(target.id()).finishInstance(launcher);
    scanSpaces();
    return QUrl::fromLocalFile(launcher);
}

QUrl Store::beginCreateSpace(const InstalledApp &target, const QString &name, Mode mode)
{
    const SpaceRecord record = planSpace(target, name, mode);
    const QUrl url = QUrl::fromLocalFile(roadFor(target.id()).launcherPath(target, record));
    // The watcher goes with the Store: a Store closed meanwhile is not touched.
    auto *watcher = new QFutureWatcher<Outcome>(this);
    connect(watcher, &QFutureWatcher<Outcome>::finished, this, [this, watcher, url] {
        const Outcome outcome = watcher->result();
        watcher->deleteLater();
        scanSpaces();
        if (outcome.error.isEmpty())
            Q_EMIT spaceCreated(url);
        else
            Q_EMIT spaceCreationFailed(url, outcome.error);
    });
    // Writing, its icon and the signing tools all run away from the window, which may also
    // wait here for another Tandrel's operation.
    watcher->setFuture(QtConcurrent::run([target, record] {
        Outcome outcome;
        try {
            outcome.launcher = buildSpace(target, record, std::max(patience(), backgroundPatience));
            roadFor(target.id()).finishInstance(outcome.launcher);
        } catch (const TandrelError &error) {
            outcome.error = error.errorDescription();
        } catch (const FileSystemError &error) {
            outcome.error = error.errorDescription();
        } catch (const std::exception &error) {
            outcome.error = QString::fromUtf8(error.what());
        }
        return outcome;
    }));
    return url;
}

} // namespace tandrel
