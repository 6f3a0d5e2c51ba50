#include "model/DesktopSpaces.h"

#if defined(Q_OS_MACOS)

// macOS has no desktop entries: only bundles are apps and instances there.
namespace tandrel::desktop {

QStringList defaultFolders() { return {}; }
QList<InstalledApp> listApps(const QStringList &) { return {}; }
std::optional<InstalledApp> appAt(const QString &) { return std::nullopt; }
bool isSandboxed(const InstalledApp &) { return false; }
std::optional<LaunchStrategy> strategyFor(const InstalledApp &, Mode) { return std::nullopt; }
QString identifier(const InstalledApp &) { return {}; }
QString sandboxWarning(const InstalledApp &) { return {}; }
std::optional<QString> handOffNotice(const InstalledApp &, Mode) { return std::nullopt; }
QImage icon(const QString &) { return {}; }
QUrl writeInstance(const InstalledApp &, const QString &, Mode, std::optional<LaunchStrategy>, const QString &, const QString &)
{
    return {};
}
QList<SpaceInfo> scanInstances() { return {}; }
bool removeInstanceEntry(const SpaceInfo &, RemovalReport &) { return true; }
void removeEverything(RemovalReport &) {}

} // namespace tandrel::desktop

#else

#include "model/AppIcons.h"
#include "model/BadgedIcon.h"
#include "model/DesktopApps.h"
#include "model/DesktopInstance.h"
#include "model/DesktopKeyFile.h"
#include "model/DesktopRecipes.h"
#include "model/Refusals.h"
#include "model/SpaceRecord.h"
#include "platform/FileSystem.h"

#include <QDateTime>
#include <QFile>
#include <QImageReader>
#include <QUuid>

namespace tandrel::desktop {
namespace {

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

std::optional<DesktopApp> entryOf(const InstalledApp &app)
{
    return readDesktopApp(app.id(), fileNameOf(app.id()));
}

// Icon themes are looked up by hand, because QIcon::fromTheme belongs to the main thread
// and the icons are read in the background: the hicolor theme at its larger sizes, then
// the old pixmaps folder.
QImage themeIcon(const QString &name)
{
    QStringList bases;
    if (const std::optional<QString> home = dataHome())
        bases << *home;
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    bases << dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    static const QStringList sizes{QStringLiteral("512x512"), QStringLiteral("256x256"), QStringLiteral("192x192"),
                                   QStringLiteral("128x128"), QStringLiteral("96x96"),   QStringLiteral("64x64"),
                                   QStringLiteral("48x48"),   QStringLiteral("32x32")};
    QStringList candidates;
    for (const QString &base : std::as_const(bases)) {
        for (const QString &size : sizes)
            candidates << base + QStringLiteral("/icons/hicolor/") + size + QStringLiteral("/apps/") + name + QStringLiteral(".png");
    }
    for (const QString &base : std::as_const(bases))
        candidates << base + QStringLiteral("/pixmaps/") + name + QStringLiteral(".png")
                   << base + QStringLiteral("/pixmaps/") + name + QStringLiteral(".xpm");
    for (const QString &candidate : std::as_const(candidates)) {
        if (fs::itemKind(fs::resolvedPath(candidate)) != fs::ItemKind::File)
            continue;
        QImageReader reader(candidate);
        const QImage image = reader.read();
        if (!image.isNull())
            return image;
    }
    return {};
}

} // namespace

QStringList defaultFolders()
{
    return desktopApplicationFolders();
}

QList<InstalledApp> listApps(const QStringList &folders)
{
    QList<InstalledApp> apps;
    for (const DesktopApp &app : discoverDesktopApps(folders))
        apps.append(InstalledApp{QUrl::fromLocalFile(app.filePath), app.name});
    return apps;
}

std::optional<InstalledApp> appAt(const QString &path)
{
    const std::optional<DesktopApp> app = readDesktopApp(path, fileNameOf(path));
    return app ? std::optional(InstalledApp{QUrl::fromLocalFile(app->filePath), app->name}) : std::nullopt;
}

bool isSandboxed(const InstalledApp &app)
{
    const std::optional<DesktopApp> entry = entryOf(app);
    return entry && entry->sandbox != SandboxKind::None;
}

std::optional<LaunchStrategy> strategyFor(const InstalledApp &app, Mode mode)
{
    const std::optional<DesktopApp> entry = entryOf(app);
    return entry ? desktopStrategy(*entry, mode) : std::nullopt;
}

QString identifier(const InstalledApp &app)
{
    return fileNameOf(app.id());
}

QString sandboxWarning(const InstalledApp &app)
{
    const std::optional<DesktopApp> entry = entryOf(app);
    return entry ? sandboxedRefusal(*entry) : QString();
}

std::optional<QString> handOffNotice(const InstalledApp &app, Mode mode)
{
    const std::optional<DesktopApp> entry = entryOf(app);
    if (!entry)
        return std::nullopt;
    const std::optional<LaunchStrategy> strategy = desktopStrategy(*entry, mode);
    if (!strategy || !handsOffToRunningCopy(*entry, *strategy))
        return std::nullopt;
    return tandrel::handOffNotice(*entry);
}

QImage icon(const QString &entryPath)
{
    const KeyFile file = loadDesktopKeyFile(entryPath);
    if (!file)
        return {};
    QString name = keyString(file.get(), QStringLiteral("Icon"));
    if (name.startsWith(QLatin1Char('/'))) {
        if (fs::itemKind(fs::resolvedPath(name)) != fs::ItemKind::File)
            return {};
        QImageReader reader(name);
        return reader.read();
    }
    for (const char *extension : {".png", ".xpm", ".svg"}) {
        if (name.endsWith(QLatin1String(extension)))
            name.chop(4);
    }
    return name.isEmpty() || name.contains(QLatin1Char('/')) ? QImage() : themeIcon(name);
}

QUrl writeInstance(const InstalledApp &target, const QString &instanceName, Mode mode,
                   std::optional<LaunchStrategy> forced, const QString &dataRoot, const QString &home)
{
    Q_UNUSED(home); // the entry's links find the real folders from the home of the moment
    const std::optional<DesktopApp> app = entryOf(target);
    if (!app)
        throw unreadableAppError();
    const std::optional<LaunchStrategy> picked = desktopStrategy(*app, mode);
    if (!picked)
        throw TandrelError::msg(sandboxedRefusal(*app));
    const QString display = app->name + QStringLiteral(" - ") + instanceName;
    for (const SpaceInfo &space : scanInstances()) {
        if (space.name == display)
            throw existingNameError();
    }
    const std::optional<QString> entries = instanceEntriesFolder();
    if (!entries)
        throw unreadableAppError();

    DesktopInstancePlan plan;
    plan.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    plan.instanceName = instanceName;
    plan.dataDir = dataRoot + QLatin1Char('/') + plan.id;
    plan.windowClass = instanceWindowClass(plan.id);
    plan.strategy = forced.value_or(*picked);

    // The data folder first, with the badged icon the entry shows and the record.
    fs::createDirectory(plan.dataDir);
    const QImage source = desktop::icon(target.id());
    const QString iconPath = plan.dataDir + QStringLiteral("/icon.png");
    if (renderBadgedIcon(source.isNull() ? genericApplicationIcon() : source, instanceName)
            .scaled(512, 512, Qt::KeepAspectRatio, Qt::SmoothTransformation)
            .save(iconPath, "PNG"))
        plan.iconPath = iconPath;
    SpaceRecord record;
    record.id = plan.id;
    record.name = instanceName;
    record.target = app->filePath;
    record.mode = plan.strategy;
    record.dataDir = plan.dataDir;
    record.createdAt = QDateTime::currentDateTimeUtc();
    fs::writeBytes(plan.dataDir + QStringLiteral("/space.json"), record.toJson());
    return QUrl::fromLocalFile(writeDesktopInstance(*app, plan, *entries));
}

QList<SpaceInfo> scanInstances()
{
    QList<SpaceInfo> spaces;
    const std::optional<QString> entries = instanceEntriesFolder();
    if (!entries)
        return spaces;
    for (const DesktopInstanceEntry &entry : scanDesktopInstances(*entries)) {
        SpaceInfo space{QUrl::fromLocalFile(entry.path), entry.name,
                        entry.target.isEmpty() ? std::nullopt : std::optional(entry.target),
                        entry.dataDir.isEmpty() ? std::nullopt : std::optional(entry.dataDir), entry.createdAt};
        // The entry's file name and its marker agree on the id (readDesktopInstance).
        space.instanceId = entry.id;
        if (entry.strategy)
            space.mode = strategyText(*entry.strategy);
        space.instanceName = entry.instanceName;
        spaces.append(std::move(space));
    }
    return spaces;
}

bool removeInstanceEntry(const SpaceInfo &space, RemovalReport &report)
{
    const std::optional<QString> entries = instanceEntriesFolder();
    if (!entries) {
        report.leftovers.append({space.id(), LeftoverReason::NotMadeByTandrel, {}});
        return false;
    }
    return removeDesktopInstanceEntry(space.id(), *entries, report);
}

void removeEverything(RemovalReport &report)
{
    const std::optional<QString> home = dataHome();
    if (!home)
        return;
    const QString entries = *home + QStringLiteral("/applications");
    QStringList children;
    try {
        children = fs::contentsOfDirectory(entries);
    } catch (const FileSystemError &) {
    }
    for (const QString &child : std::as_const(children)) {
        if (fileNameOf(child).startsWith(QLatin1String("tandrel-")) && isDesktopInstanceEntry(child, entries))
            removeDesktopInstanceEntry(child, entries, report);
    }
    // Tandrel's own entry and icons, where an install for this user put them.
    QStringList own{entries + QStringLiteral("/io.tandrel.Tandrel.desktop")};
    for (const char *size : {"16x16", "32x32", "48x48", "64x64", "128x128", "256x256", "512x512"})
        own << *home + QStringLiteral("/icons/hicolor/") + QLatin1String(size) + QStringLiteral("/apps/tandrel.png");
    for (const QString &path : std::as_const(own)) {
        if (fs::itemKind(path) != fs::ItemKind::File)
            continue;
        try {
            fs::removeItem(path);
        } catch (const FileSystemError &error) {
            report.leftovers.append({path, LeftoverReason::Failed, error.errorDescription()});
        }
    }
}

} // namespace tandrel::desktop

#endif
