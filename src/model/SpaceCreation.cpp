#include "model/Store.h"

#include "model/InstanceId.h"
#include "model/InstanceName.h"
#include "model/Refusals.h"
#include "model/Roads.h"
#include "model/SpaceRecord.h"
#include "model/TandrelError.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace tandrel {

QString Store::writeSpace(
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
    const QString displayName = target.name() + QStringLiteral(" - ") + instanceName;
    for (const SpaceInfo &space : road.scanInstances()) {
        if (space.name == displayName)
            throw existingNameError();
    }

    SpaceRecord record;
    record.id = newInstanceId();
    record.name = instanceName;
    record.target = target.id();
    record.mode = forced.value_or(*facts.strategy);
    record.dataDir = road.dataRoot() + QLatin1Char('/') + record.id;
    record.createdAt = QDateTime::currentDateTimeUtc();
    return road.writeInstance(target, record);
}

QUrl Store::createSpace(const InstalledApp &target, const QString &name, Mode mode)
{
    const QString launcher = writeSpace(target, name, mode);
    roadFor(target.id()).finishInstance(launcher);
    scanSpaces();
    return QUrl::fromLocalFile(launcher);
}

QUrl Store::createSpace(const InstalledApp &target, const QString &name, LaunchStrategy strategy)
{
    const QString launcher = writeSpace(target, name, Mode::Auto, strategy);
    roadFor(target.id()).finishInstance(launcher);
    scanSpaces();
    return QUrl::fromLocalFile(launcher);
}

QUrl Store::beginCreateSpace(const InstalledApp &target, const QString &name, Mode mode)
{
    const QString launcher = writeSpace(target, name, mode);
    const QUrl url = QUrl::fromLocalFile(launcher);
    // The watcher goes with the Store: a Store closed meanwhile is not touched.
    auto *watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcher<void>::finished, this, [this, watcher, url] {
        watcher->deleteLater();
        scanSpaces();
        Q_EMIT spaceCreated(url);
    });
    watcher->setFuture(
        QtConcurrent::run([road = &roadFor(target.id()), launcher] { road->finishInstance(launcher); }));
    return url;
}

} // namespace tandrel
