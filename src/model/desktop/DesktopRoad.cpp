#include "model/desktop/DesktopRoad.h"

#include "model/Refusals.h"
#include "model/SandboxCache.h"
#include "model/Store.h"
#include "model/TandrelError.h"
#include "model/desktop/DesktopApps.h"
#include "model/desktop/DesktopIcon.h"
#include "model/desktop/DesktopInstance.h"
#include "model/desktop/DesktopKeyFile.h"
#include "model/desktop/DesktopRecipes.h"
#include "model/desktop/DesktopTexts.h"
#include "platform/Workspace.h"

namespace tandrel {
namespace {

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

std::optional<DesktopApp> entryOf(const InstalledApp &app)
{
    return readDesktopApp(app.id(), fileNameOf(app.id()));
}

} // namespace

bool DesktopRoad::owns(const QString &path) const
{
    return path.endsWith(QLatin1String(".desktop"));
}

QStringList DesktopRoad::defaultFolders() const
{
    return desktopApplicationFolders();
}

QList<InstalledApp> DesktopRoad::listApps(const QStringList &folders) const
{
    QList<InstalledApp> apps;
    for (const DesktopApp &app : discoverDesktopApps(folders))
        apps.append(InstalledApp { QUrl::fromLocalFile(app.filePath), app.name, app.keywords });
    return apps;
}

std::optional<InstalledApp> DesktopRoad::appAt(const QString &path) const
{
    const std::optional<DesktopApp> app = readDesktopApp(path, fileNameOf(path));
    return app ? std::optional(InstalledApp { QUrl::fromLocalFile(app->filePath), app->name, app->keywords })
               : std::nullopt;
}

bool DesktopRoad::isSandboxed(const QString &appPath) const
{
    const std::optional<DesktopApp> entry = readDesktopApp(appPath, fileNameOf(appPath));
    return entry && entry->sandbox != SandboxKind::None;
}

AppFacts DesktopRoad::factsOf(const InstalledApp &app, Mode mode) const
{
    AppFacts facts;
    facts.identifier = fileNameOf(app.id());
    const std::optional<DesktopApp> entry = entryOf(app);
    if (!entry) {
        facts.refusal = unreadableAppError().errorDescription();
        return facts;
    }
    facts.sandboxed = cachedSandboxAnswer(app.id(), [&entry] { return entry->sandbox != SandboxKind::None; });
    facts.strategy = facts.sandboxed ? std::nullopt : desktopStrategy(*entry, mode);
    if (!facts.strategy)
        facts.refusal = sandboxedRefusal(*entry);
    else
        facts.notice = copyNotice(*entry, copyPlan(*entry, *facts.strategy));
    return facts;
}

QString DesktopRoad::sandboxWarning(const InstalledApp &app) const
{
    const std::optional<DesktopApp> entry = entryOf(app);
    return entry ? sandboxedRefusal(*entry) : QString();
}

QString DesktopRoad::sandboxTooltip(const InstalledApp &app) const
{
    return sandboxedTooltip(app.name());
}

QString DesktopRoad::sandboxExplanation() const
{
    return sandboxedExplanation();
}

QImage DesktopRoad::icon(const QString &path) const
{
    return desktopIcon(path);
}

QString DesktopRoad::dataRoot() const
{
    Store::home(); // the same clear error as everywhere else without a home
    const std::optional<QString> root = desktopDataRoot();
    if (!root)
        throw unreadableAppError();
    return *root;
}

QStringList DesktopRoad::dataRoots() const
{
    // Until this release, desktop instances kept their data beside the bundles'.
    return { dataRoot(), Store::dataRoot() };
}

void DesktopRoad::finishInstance(const QString &) const
{
    // Desktop entries are not signed.
}

void DesktopRoad::launch(
    const SpaceInfo &space, const QStringList &links, const LaunchFailureHandler &onFailure) const
{
    if (!links.isEmpty()) {
        const KeyFile entry = loadDesktopKeyFile(space.id());
        if (!entry || !execTakesUris(keyString(entry.get(), QStringLiteral("Exec"))))
            throw TandrelError::msg(takesNoLinksMessage(space.name));
    }
    EarlyExitHandler onEarlyExit;
    if (onFailure) {
        onEarlyExit = [onFailure, name = space.name](
                          const EarlyExit &exit) { onFailure(earlyExitMessage(name, exit)); };
    }
    if (!Workspace::shared().openDesktopEntry(space.id(), onEarlyExit, links))
        throw TandrelError::msg(notStartedMessage(space.name));
}

bool DesktopRoad::opensLinks(const InstalledApp &app) const
{
    const std::optional<DesktopApp> entry = entryOf(app);
    return entry && entry->opensLinks;
}

QList<InstalledApp> DesktopRoad::linkApps() const
{
    QList<InstalledApp> apps;
    // The desktop's own index of link handlers leaves out entries without an up-to-date
    // mimeinfo.cache (those in the user's folder, often); the listing the grid shows is
    // as quick for the few dozen entries a desktop has.
    for (const DesktopApp &app : discoverDesktopApps(desktopApplicationFolders())) {
        if (app.opensLinks)
            apps.append(InstalledApp { QUrl::fromLocalFile(app.filePath), app.name, app.keywords });
    }
    return apps;
}

void DesktopRoad::openLinksInApp(const InstalledApp &app, const QStringList &links) const
{
    if (!opensLinks(app))
        throw TandrelError::msg(takesNoLinksMessage(app.name()));
    if (!Workspace::shared().openDesktopEntry(app.id(), {}, links))
        throw TandrelError::msg(notStartedMessage(app.name()));
}

QList<UninstallPlace> DesktopRoad::uninstallPlaces() const
{
    const std::optional<QString> entries = instanceEntriesFolder();
    const std::optional<QString> root = desktopDataRoot();
    if (!entries || !root)
        return {};
    return { { UninstallPlace::Holds::Instances,
                 *entries + QLatin1Char('/') + instanceEntryFileName(QStringLiteral("*")) },
        { UninstallPlace::Holds::Data, *root } };
}

} // namespace tandrel
