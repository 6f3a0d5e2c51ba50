#include "model/bundle/BundleRoad.h"

#include "formats/MachOSignature.h"
#include "formats/PlistScan.h"
#include "formats/PropertyList.h"
#include "l10n/Tr.h"
#include "model/AppFamilies.h"
#include "model/OwnCopy.h"
#include "model/Refusals.h"
#include "model/SandboxCache.h"
#include "model/Store.h"
#include "model/bundle/BundleIcon.h"
#include "model/bundle/BundleInfo.h"
#include "platform/FileSystem.h"
#include "platform/Workspace.h"

namespace tandrel {
namespace {

// `known` is the bundle's Info.plist when the caller has read it already.
bool readSandboxed(const QString &path, const BundleInfo *known)
{
    std::optional<BundleInfo> read;
    std::optional<QByteArray> entitlements;
    if (!known) {
        // A bundle names its executable in Info.plist; a plain file is read as a Mach-O file.
        bool notAFolder = false;
        read = readBundleInfo(path, &notAFolder);
        if (notAFolder)
            entitlements = readEntitlementsFromFile(path);
        known = read ? &*read : nullptr;
    }
    if (known && !known->executable.isEmpty())
        entitlements = readEntitlementsFromFile(known->executablePath(path));
    // The key is looked up in the blob directly; an unusual blob is parsed whole.
    return entitlements && readSandboxEntitlement(*entitlements);
}

QString sandboxRefusal(const QString &appName)
{
    return tandrel::tr(appName
            + QStringLiteral(
                " está sandboxeada por Apple y macOS no permite duplicarla: el sandbox ignora el "
                "aislamiento y la instancia compartiría la sesión original. Si existe versión de "
                "descarga directa (fuera del App Store), instálala — esa sí suele ser duplicable."),
        appName
            + QStringLiteral(
                " is sandboxed by Apple and macOS won't allow duplicating it: the sandbox ignores the "
                "isolation and the instance would share the original session. If a direct-download "
                "version exists (outside the App Store), install that one — it's usually duplicable."));
}

// Whether the bundle's Info.plist declares http or https among its URL types.
bool declaresWebLinks(const QString &bundlePath)
{
    const std::optional<QVariantMap> info
        = readPropertyListFile(bundlePath + QStringLiteral("/Contents/Info.plist"));
    if (!info)
        return false;
    for (const QVariant &type : info->value(QStringLiteral("CFBundleURLTypes")).toList()) {
        const QStringList schemes = type.toMap().value(QStringLiteral("CFBundleURLSchemes")).toStringList();
        if (schemes.contains(QStringLiteral("http"), Qt::CaseInsensitive)
            || schemes.contains(QStringLiteral("https"), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

LaunchStrategy bundleStrategy(Mode mode, const QString &contents, const BundleInfo &info)
{
    if (mode == Mode::Home)
        return LaunchStrategy::IsolatedHome;
    for (const AppFamily &family : appFamilies()) {
        const bool prefixed
            = std::any_of(family.identifierPrefixes.cbegin(), family.identifierPrefixes.cend(),
                [&](const QString &prefix) { return info.identifier.startsWith(prefix); });
        if (prefixed
            || std::any_of(family.bundleMarkers.cbegin(), family.bundleMarkers.cend(),
                [&](const QString &file) { return fs::fileExists(contents + QLatin1Char('/') + file); }))
            return family.strategy;
    }
    return LaunchStrategy::IsolatedHome;
}

bool BundleRoad::owns(const QString &path) const
{
    return hasAppExtension(path);
}

QStringList BundleRoad::defaultFolders() const
{
    QStringList folders { QStringLiteral("/Applications") };
    if (const std::optional<QString> home = fs::homeDirectory())
        folders.append(*home + QStringLiteral("/Applications"));
    return folders;
}

QList<InstalledApp> BundleRoad::listApps(const QStringList &folders) const
{
    QList<InstalledApp> apps;
    for (const QString &folder : folders) {
        QStringList entries;
        try {
            entries = fs::contentsOfDirectory(folder);
        } catch (const FileSystemError &) {
            continue;
        }
        for (const QString &entry : std::as_const(entries)) {
            if (!hasAppExtension(entry))
                continue;
            InstalledApp app { QUrl::fromLocalFile(entry) };
            if (app.name() != QLatin1String("Tandrel"))
                apps.append(std::move(app));
        }
    }
    return apps;
}

std::optional<InstalledApp> BundleRoad::appAt(const QString &path) const
{
    // Anything named is tried: creation says what is wrong with it.
    return InstalledApp { QUrl::fromLocalFile(path) };
}

bool BundleRoad::isSandboxed(const QString &appPath) const
{
    return readSandboxed(appPath, nullptr);
}

AppFacts BundleRoad::factsOf(const InstalledApp &app, Mode mode) const
{
    AppFacts facts;
    const std::optional<BundleInfo> info = readBundleInfo(app.id());
    if (!info || info->executable.isEmpty()) {
        facts.identifier = info ? info->identifier : QString();
        facts.refusal = unreadableAppError().errorDescription();
        return facts;
    }
    facts.identifier = info->identifier;
    facts.sandboxed = cachedSandboxAnswer(app.id(), [&] { return readSandboxed(app.id(), &*info); });
    if (!fs::isExecutableFile(info->executablePath(app.id())))
        facts.refusal
            = tandrel::tr(QStringLiteral("No encuentro el ejecutable de ") + app.name() + QStringLiteral("."),
                QStringLiteral("Can't find ") + app.name() + QStringLiteral("'s executable."));
    else if (facts.sandboxed)
        facts.refusal = sandboxRefusal(app.name());
    if (!facts.sandboxed)
        facts.strategy = bundleStrategy(mode, app.id() + QStringLiteral("/Contents"), *info);
    return facts;
}

QString BundleRoad::sandboxWarning(const InstalledApp &app) const
{
    return app.name()
        + tandrel::tr(
            QStringLiteral(
                " está sandboxeada por Apple. El sandbox se aplica a nivel del sistema y no se puede "
                "saltar: la instancia compartiría la sesión original. Si existe versión de descarga "
                "directa (fuera del App Store), esa sí suele ser duplicable."),
            QStringLiteral(" is sandboxed by Apple. The sandbox is enforced at the system level and can't be "
                           "bypassed: the instance would share the original session. If a direct-download "
                           "version exists (outside the App Store), that one is usually duplicable."));
}

QString BundleRoad::sandboxTooltip(const InstalledApp &app) const
{
    return app.name()
        + tandrel::tr(QStringLiteral(" está sandboxeada por Apple — macOS no permite duplicarla."),
            QStringLiteral(" is sandboxed by Apple — macOS won't allow duplicating it."));
}

QString BundleRoad::sandboxExplanation() const
{
    return tandrel::tr(
        QStringLiteral(
            "Estas apps están sandboxeadas por Apple: el aislamiento va firmado dentro de la propia app "
            "y el sistema lo aplica al abrirla, sin importar los permisos del usuario. Quitarlo "
            "implicaría re-firmar la app, lo que rompe su firma original y su acceso al Keychain "
            "(perderías las sesiones guardadas). Si la app existe como descarga directa fuera del App "
            "Store, esa versión sí suele ser duplicable."),
        QStringLiteral(
            "These apps are sandboxed by Apple: the isolation is signed into the app itself and "
            "enforced by the system at launch, regardless of user permissions. Removing it would "
            "require re-signing the app, which breaks its original signature and its Keychain access "
            "(you'd lose saved sessions). If the app exists as a direct download outside the App "
            "Store, that version is usually duplicable."));
}

QImage BundleRoad::icon(const QString &path) const
{
    return bundleIcon(path);
}

QString BundleRoad::dataRoot() const
{
    return Store::dataRoot();
}

void BundleRoad::launch(const SpaceInfo &space, const QStringList &links, const LaunchFailureHandler &) const
{
    const QString path = space.id();
    // The launcher passes its arguments on to the app: only to one that takes addresses.
    if (!links.isEmpty() && (!space.targetPath || !declaresWebLinks(*space.targetPath)))
        throw TandrelError::msg(takesNoLinksMessage(space.name));
    const std::optional<BundleInfo> info = readBundleInfo(path);
    Workspace::shared().openApplication(space.url, info ? info->executablePath(path) : QString(), links);
}

bool BundleRoad::opensLinks(const InstalledApp &app) const
{
    return declaresWebLinks(app.id());
}

QList<InstalledApp> BundleRoad::linkApps() const
{
    QList<InstalledApp> apps;
    for (const InstalledApp &app : listApps(defaultFolders())) {
        if (opensLinks(app))
            apps.append(app);
    }
    return apps;
}

void BundleRoad::openLinksInApp(const InstalledApp &app, const QStringList &links) const
{
    if (!opensLinks(app))
        throw TandrelError::msg(takesNoLinksMessage(app.name()));
    const std::optional<BundleInfo> info = readBundleInfo(app.id());
    Workspace::shared().openLinksWith(app.url(), info ? info->executablePath(app.id()) : QString(), links);
}

QList<UninstallPlace> BundleRoad::uninstallPlaces() const
{
    const QList<UninstallPlace> places { { UninstallPlace::Holds::Instances, Store::spacesDir() },
        { UninstallPlace::Holds::Data, Store::dataRoot() } };
    if (hostPlatform() == HostPlatform::MacOS)
        return places;
    // Elsewhere bundles are the exception (sample apps, instances of an earlier release's
    // desktop apps): a folder is named only when there is one.
    QList<UninstallPlace> present;
    for (const UninstallPlace &place : places) {
        if (fs::itemKind(place.path) != fs::ItemKind::Missing)
            present.append(place);
    }
    return present;
}

} // namespace tandrel
