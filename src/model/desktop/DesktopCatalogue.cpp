#include "model/desktop/DesktopRoad.h"

#include "model/AppIcons.h"
#include "model/BadgedIcon.h"
#include "model/Refusals.h"
#include "model/desktop/DesktopApps.h"
#include "model/desktop/DesktopIcon.h"
#include "model/desktop/DesktopInstance.h"
#include "platform/FileSystem.h"

namespace tandrel {
namespace {

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

QString DesktopRoad::writeInstance(const InstalledApp &target, const SpaceRecord &record) const
{
    const std::optional<DesktopApp> app = readDesktopApp(target.id(), fileNameOf(target.id()));
    const std::optional<QString> entries = instanceEntriesFolder();
    if (!app || !entries)
        throw unreadableAppError();

    DesktopInstancePlan plan;
    plan.id = record.id;
    plan.instanceName = record.name;
    plan.dataDir = record.dataDir;
    plan.windowClass = instanceWindowClass(plan.id);
    plan.strategy = record.mode;

    // The data folder first, with the badged icon the entry shows and the record.
    fs::createDirectory(plan.dataDir);
    const QImage source = desktopIcon(target.id());
    const QString iconPath = plan.dataDir + QStringLiteral("/icon.png");
    if (renderBadgedIcon(source.isNull() ? genericApplicationIcon() : source, record.name)
            .scaled(512, 512, Qt::KeepAspectRatio, Qt::SmoothTransformation)
            .save(iconPath, "PNG"))
        plan.iconPath = iconPath;
    fs::writeBytes(plan.dataDir + QStringLiteral("/space.json"), record.toJson());
    return writeDesktopInstance(*app, plan, *entries);
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
        spaces.append(std::move(space));
    }
    return spaces;
}

bool DesktopRoad::removeLauncher(const SpaceInfo &space, RemovalReport &report) const
{
    const std::optional<QString> entries = instanceEntriesFolder();
    if (!entries) {
        report.leftovers.append({ space.id(), LeftoverReason::NotMadeByTandrel, {} });
        return false;
    }
    return removeDesktopInstanceEntry(space.id(), *entries, report);
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
