#include "model/Store.h"

#include "l10n/Tr.h"
#include "model/BadgedIcon.h"
#include "model/BundleInfo.h"
#include "model/DesktopSpaces.h"
#include "model/InstanceName.h"
#include "model/Refusals.h"
#include "model/SpaceRecord.h"
#include "model/TandrelError.h"
#include "model/WrapperTemplates.h"
#include "platform/FileSystem.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>

#include <array>

namespace tandrel {
namespace {

// Bundle identifier prefixes, tested in order, exact and case-sensitive.
constexpr std::array userDataDirFamilies{"com.google.Chrome", "com.microsoft.edgemac", "com.brave.Browser",
                                         "com.vivaldi.Vivaldi", "com.operasoftware", "company.thebrowser"};
constexpr std::array geckoFamilies{"org.mozilla", "net.waterfox", "io.gitlab.librewolf", "app.zen-browser"};

template<size_t N>
bool startsWithAny(const QString &identifier, const std::array<const char *, N> &prefixes)
{
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&](const char *prefix) { return identifier.startsWith(QLatin1String(prefix)); });
}

LaunchStrategy resolveStrategy(Store::Mode mode, const QString &contents, const BundleInfo &info)
{
    if (mode == Store::Mode::Home)
        return LaunchStrategy::IsolatedHome;
    const bool electron = fs::fileExists(contents + QStringLiteral("/Frameworks/Electron Framework.framework"));
    const bool userDataDirListed = startsWithAny(info.identifier, userDataDirFamilies);
    const bool gecko =
        fs::fileExists(contents + QStringLiteral("/MacOS/XUL")) || startsWithAny(info.identifier, geckoFamilies);
    if (gecko)
        return LaunchStrategy::GeckoProfile;
    if (electron || userDataDirListed)
        return LaunchStrategy::UserDataDir;
    return LaunchStrategy::IsolatedHome;
}

} // namespace

Store::AppFacts Store::factsOf(const InstalledApp &app)
{
    AppFacts facts;
    if (app.isDesktopEntry()) {
        facts.bundleIdentifier = desktop::identifier(app);
        facts.sandboxed = isSandboxed(app.url());
        if (!facts.sandboxed)
            facts.strategy = desktop::strategyFor(app, Mode::Auto);
        return facts;
    }
    const std::optional<BundleInfo> info = readBundleInfo(app.id());
    facts.sandboxed = info && isSandboxed(app.url(), *info);
    if (info) {
        facts.bundleIdentifier = info->identifier;
        if (!facts.sandboxed && !info->executable.isEmpty())
            facts.strategy = resolveStrategy(Mode::Auto, app.id() + QStringLiteral("/Contents"), *info);
    }
    return facts;
}

std::optional<LaunchStrategy> Store::strategyFor(const InstalledApp &target, Mode mode)
{
    if (target.isDesktopEntry())
        return desktop::strategyFor(target, mode);
    const std::optional<BundleInfo> info = readBundleInfo(target.id());
    if (!info)
        return std::nullopt;
    return resolveStrategy(mode, target.id() + QStringLiteral("/Contents"), *info);
}

QUrl Store::writeSpace(const InstalledApp &target, const QString &name, Mode mode, std::optional<LaunchStrategy> forced)
{
    const QString appName = target.name();
    const QString instanceName = cleanedInstanceName(name);
    checkInstanceName(instanceName, appName);
    const QString home = Store::home();
    if (target.isDesktopEntry())
        return desktop::writeInstance(target, instanceName, mode, forced, dataRoot(), home);

    const QString contents = target.id() + QStringLiteral("/Contents");
    const std::optional<BundleInfo> info = readBundleInfo(target.id());
    if (!info || info->executable.isEmpty())
        throw unreadableAppError();

    if (!fs::isExecutableFile(info->executablePath(target.id())))
        throw TandrelError::msg(tandrel::tr(QStringLiteral("No encuentro el ejecutable de ") + appName + QStringLiteral("."),
                                            QStringLiteral("Can't find ") + appName + QStringLiteral("'s executable.")));

    if (isSandboxed(target.url()))
        throw TandrelError::msg(tandrel::tr(
            appName + QStringLiteral(" está sandboxeada por Apple y macOS no permite duplicarla: el sandbox ignora "
                                     "el aislamiento y la instancia compartiría la sesión original. Si existe "
                                     "versión de descarga directa (fuera del App Store), instálala — esa sí suele "
                                     "ser duplicable."),
            appName + QStringLiteral(" is sandboxed by Apple and macOS won't allow duplicating it: the sandbox "
                                     "ignores the isolation and the instance would share the original session. If "
                                     "a direct-download version exists (outside the App Store), install that one — "
                                     "it's usually duplicable.")));

    const LaunchStrategy strategy = forced ? *forced : resolveStrategy(mode, contents, *info);
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    const QString wrapper = spacesDir() + QLatin1Char('/') + appName + QStringLiteral(" - ") + instanceName
        + QStringLiteral(".app");
    const QString dataDir = dataRoot() + QLatin1Char('/') + id;

    if (fs::fileExists(wrapper))
        throw existingNameError();

    // From here on failures are the file system's own and nothing is rolled back.
    const QString macOS = wrapper + QStringLiteral("/Contents/MacOS");
    const QString resources = wrapper + QStringLiteral("/Contents/Resources");
    fs::createDirectory(macOS);
    fs::createDirectory(resources);
    fs::createDirectory(dataDir);

    try {
        writeBadgedIcon(target, instanceName, resources + QStringLiteral("/app.icns"));
    } catch (const std::exception &) {
        // The wrapper works without its own icon.
    }

    fs::writeTextAtomically(wrapper + QStringLiteral("/Contents/Info.plist"),
                            infoPlistText(appName + QStringLiteral(" - ") + instanceName, id));

    const QString launcher = macOS + QStringLiteral("/launcher");
    fs::writeTextAtomically(launcher, launcherScript(strategy, {dataDir, home, target.id(), info->executable}));
    fs::setPosixPermissions(launcher, 0755);

    SpaceRecord record;
    record.id = id;
    record.name = instanceName;
    record.target = target.id();
    record.mode = strategy;
    record.dataDir = dataDir;
    record.createdAt = QDateTime::currentDateTimeUtc();
    fs::writeBytes(resources + QStringLiteral("/space.json"), record.toJson());
    return QUrl::fromLocalFile(wrapper);
}

void Store::signWrapper(const QString &wrapper)
{
    runTool(QStringLiteral("/usr/bin/codesign"),
            {QStringLiteral("--force"), QStringLiteral("--deep"), QStringLiteral("--sign"), QStringLiteral("-"), wrapper});
    runTool(QStringLiteral("/usr/bin/xattr"), {QStringLiteral("-dr"), QStringLiteral("com.apple.quarantine"), wrapper});
}

QUrl Store::createSpace(const InstalledApp &target, const QString &name, Mode mode)
{
    const QUrl wrapper = writeSpace(target, name, mode);
    if (!target.isDesktopEntry())
        signWrapper(plainPath(wrapper));
    scanSpaces();
    return wrapper;
}

QUrl Store::createSpace(const InstalledApp &target, const QString &name, LaunchStrategy strategy)
{
    const QUrl wrapper = writeSpace(target, name, Mode::Auto, strategy);
    if (!target.isDesktopEntry())
        signWrapper(plainPath(wrapper));
    scanSpaces();
    return wrapper;
}

QUrl Store::beginCreateSpace(const InstalledApp &target, const QString &name, Mode mode)
{
    const QUrl wrapper = writeSpace(target, name, mode);
    // The watcher goes with the Store: a Store closed meanwhile is not touched.
    auto *watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcher<void>::finished, this, [this, watcher, wrapper] {
        watcher->deleteLater();
        scanSpaces();
        Q_EMIT spaceCreated(wrapper);
    });
    // Desktop entries are not signed: the watcher only waits for a job that does nothing.
    const QString path = target.isDesktopEntry() ? QString() : plainPath(wrapper);
    watcher->setFuture(QtConcurrent::run([path] {
        if (!path.isEmpty())
            signWrapper(path);
    }));
    return wrapper;
}

} // namespace tandrel
