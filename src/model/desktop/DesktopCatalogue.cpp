#include "model/desktop/DesktopRoad.h"

#include "model/AppIcons.h"
#include "model/BadgedIcon.h"
#include "model/Refusals.h"
#include "model/Store.h"
#include "model/desktop/DesktopApps.h"
#include "model/desktop/DesktopIcon.h"
#include "model/desktop/DesktopInstance.h"
#include "platform/FileSystem.h"

#include <QBuffer>

namespace tandrel {
namespace {

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The badge the instance's record keeps beside its data, when the record is the instance's.
Badge recordedBadge(const DesktopInstanceEntry &entry)
{
    if (!entry.dataDir.endsWith(QLatin1Char('/') + entry.id))
        return {};
    try {
        const SpaceRecordFacts facts = readSpaceRecord(
            fs::readFile(entry.dataDir + QStringLiteral("/space.json"), maxSpaceRecordSize));
        return facts.id == entry.id ? facts.badge : Badge {};
    } catch (const FileSystemError &) {
        return {};
    }
}

} // namespace

QString DesktopRoad::instancesFolder() const
{
    Store::home(); // the same clear error as everywhere else without a home
    const std::optional<QString> entries = instanceEntriesFolder();
    if (!entries)
        throw unreadableAppError();
    return *entries;
}

QString DesktopRoad::launcherPath(const InstalledApp &, const SpaceRecord &record) const
{
    return instancesFolder() + QLatin1Char('/') + instanceEntryFileName(record.id);
}

void DesktopRoad::writeInstance(const InstalledApp &target, const SpaceRecord &record,
    const QString &stagedLauncher, const QString &stagedData) const
{
    const std::optional<DesktopApp> app = readDesktopApp(target.id(), fileNameOf(target.id()));
    if (!app)
        throw unreadableAppError();

    DesktopInstancePlan plan;
    plan.id = record.id;
    plan.instanceName = record.name;
    plan.dataDir = record.dataDir;
    plan.windowClass = instanceWindowClass(plan.id);
    plan.strategy = record.mode;

    // The data folder first, with the badged icon the entry shows and the record.
    fs::createDirectory(stagedData);
    const QImage source = desktopIcon(target.id());
    QByteArray png;
    QBuffer buffer(&png);
    // Encoded in memory: the disk's refusal is then ours to report, not the PNG library's.
    if (buffer.open(QIODevice::WriteOnly)
        && renderBadgedIcon(source.isNull() ? genericApplicationIcon() : source, record.name, record.badge)
               .scaled(512, 512, Qt::KeepAspectRatio, Qt::SmoothTransformation)
               .save(&buffer, "PNG")) {
        fs::writeBytes(stagedData + QStringLiteral("/icon.png"), png);
        plan.iconPath = record.dataDir + QStringLiteral("/icon.png");
    }
    fs::writeBytes(stagedData + QStringLiteral("/space.json"), record.toJson());
    writeDesktopInstance(*app, plan, instancesFolder(), stagedLauncher, stagedData);
}

QList<SpaceInfo> DesktopRoad::scanInstances() const
{
    QList<SpaceInfo> spaces;
    const std::optional<QString> entries = instanceEntriesFolder();
    if (!entries)
        return spaces;
    for (const DesktopInstanceEntry &entry : scanDesktopInstances(*entries)) {
        SpaceInfo space { QUrl::fromLocalFile(entry.path), entry.name,
            entry.target.isEmpty() ? std::nullopt : std::optional(entry.target),
            entry.dataDir.isEmpty() ? std::nullopt : std::optional(entry.dataDir), entry.createdAt };
        // The entry's file name and its marker agree on the id (readDesktopInstance).
        space.instanceId = entry.id;
        if (entry.strategy)
            space.mode = strategyText(*entry.strategy);
        space.instanceName = entry.instanceName;
        space.badge = recordedBadge(entry);
        spaces.append(std::move(space));
    }
    return spaces;
}

std::optional<QString> DesktopRoad::carriedId(const QString &launcher) const
{
    return desktopInstanceMarker(launcher);
}

bool DesktopRoad::withdrawLauncher(const SpaceInfo &space, const QString &staged, RemovalReport &report) const
{
    const std::optional<QString> entries = instanceEntriesFolder();
    if (!entries) {
        report.leftovers.append({ space.id(), LeftoverReason::NotMadeByTandrel, {} });
        return false;
    }
    return removeDesktopInstanceEntry(space.id(), *entries, report, staged);
}

void DesktopRoad::removeAll(RemovalReport &report) const
{
    const std::optional<QString> home = dataHome();
    if (!home)
        return;
    const QString entries = *home + QStringLiteral("/applications");
    for (const QString &child : entriesOf(entries)) {
        if (fileNameOf(child).startsWith(QLatin1String("tandrel-")) && isDesktopInstanceEntry(child, entries))
            removeDesktopInstanceEntry(child, entries, report);
    }
    // Tandrel's own entry and icons, where an install for this user put them.
    QStringList own { entries + QStringLiteral("/io.tandrel.Tandrel.desktop") };
    for (const char *size : { "16x16", "32x32", "48x48", "64x64", "128x128", "256x256", "512x512" })
        own << *home + QStringLiteral("/icons/hicolor/") + QLatin1String(size)
                + QStringLiteral("/apps/tandrel.png");
    for (const QString &path : std::as_const(own)) {
        if (fs::itemKind(path) == fs::ItemKind::File)
            removeReporting(path, report);
    }
    if (const std::optional<QString> root = desktopDataRoot())
        removeDataRoot(*root, report);
}

} // namespace tandrel
