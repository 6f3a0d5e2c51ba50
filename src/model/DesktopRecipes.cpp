#include "model/DesktopRecipes.h"

#include "l10n/Tr.h"
#include "platform/FileSystem.h"

#include <QRegularExpression>

#include <array>

namespace tandrel {
namespace {

// Executable base names, exact. Distributions start the browsers through wrappers with
// these names, and their binaries carry them too, so either the name on PATH or the one
// its links lead to decides.
constexpr std::array userDataDirFamily{
    "chromium", "chromium-browser", "ungoogled-chromium", "chrome", "google-chrome", "google-chrome-stable",
    "google-chrome-beta", "google-chrome-unstable", "brave", "brave-browser", "brave-browser-stable",
    "brave-browser-beta", "brave-browser-nightly", "vivaldi", "vivaldi-stable", "vivaldi-snapshot", "vivaldi-bin",
    "opera", "opera-beta", "opera-developer", "microsoft-edge", "microsoft-edge-stable", "microsoft-edge-beta",
    "microsoft-edge-dev", "msedge", "thorium-browser", "electron"};
constexpr std::array geckoFamily{
    "firefox", "firefox-esr", "firefox-bin", "firefox-beta", "firefox-nightly", "firefox-developer-edition",
    "iceweasel", "librewolf", "thunderbird", "thunderbird-bin", "betterbird", "waterfox", "icecat", "seamonkey",
    "floorp", "zen", "zen-browser", "palemoon"};

// Files that only an Electron app ships beside its binary; every file of one row must be
// there. Chromium's .pak files alone are no sign: CEF apps ship them and ignore --user-data-dir.
const QList<QStringList> electronMarkers{
    {QStringLiteral("resources/app.asar")},
    {QStringLiteral("resources/app/package.json")},
    {QStringLiteral("libffmpeg.so"), QStringLiteral("chrome-sandbox")},
};

template<size_t N>
bool listed(const std::array<const char *, N> &family, const QString &name)
{
    return std::any_of(family.begin(), family.end(), [&](const char *entry) { return name == QLatin1String(entry); });
}

QString baseName(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString parentOf(const QString &path)
{
    return path.left(qMax<qsizetype>(path.lastIndexOf(QLatin1Char('/')), 1));
}

// The program's own name and the name its links lead to ("electron25" counts as "electron").
QStringList programNames(const QString &program, const QString &real)
{
    static const QRegularExpression versioned(QStringLiteral("^electron[0-9]+$"));
    QStringList names{baseName(program), baseName(real)};
    for (QString &name : names) {
        if (versioned.match(name).hasMatch())
            name = QStringLiteral("electron");
    }
    return names;
}

// The program's folder, or the one above it for a launcher in a bin/ folder of its own.
bool shipsElectron(const QString &real)
{
    const QString folder = parentOf(real);
    for (const QString &candidate : {folder, parentOf(folder)}) {
        for (const QStringList &marker : electronMarkers) {
            if (std::all_of(marker.cbegin(), marker.cend(),
                            [&](const QString &file) { return fs::fileExists(candidate + QLatin1Char('/') + file); }))
                return true;
        }
    }
    return false;
}

QString sandboxName(SandboxKind kind)
{
    return kind == SandboxKind::Snap ? QStringLiteral("Snap") : QStringLiteral("Flatpak");
}

} // namespace

std::optional<LaunchStrategy> desktopStrategy(const DesktopApp &app, Mode mode)
{
    if (app.sandbox != SandboxKind::None)
        return std::nullopt;
    if (mode == Mode::Home || app.program.endsWith(QLatin1String(".appimage"), Qt::CaseInsensitive))
        return LaunchStrategy::IsolatedHome;
    const QString real = fs::resolvedPath(app.program);
    const QStringList names = programNames(app.program, real.isEmpty() ? app.program : real);
    if (std::any_of(names.cbegin(), names.cend(), [](const QString &name) { return listed(geckoFamily, name); }))
        return LaunchStrategy::GeckoProfile;
    if (std::any_of(names.cbegin(), names.cend(), [](const QString &name) { return listed(userDataDirFamily, name); })
        || (!real.isEmpty() && shipsElectron(real)))
        return LaunchStrategy::UserDataDir;
    return LaunchStrategy::IsolatedHome;
}

bool handsOffToRunningCopy(const DesktopApp &app, LaunchStrategy strategy)
{
    if (strategy != LaunchStrategy::IsolatedHome)
        return false;
    // org.example.App.desktop: at least three dot-separated elements before the suffix.
    static const QRegularExpression busName(
        QStringLiteral("^[A-Za-z_][A-Za-z0-9_-]*(\\.[A-Za-z_][A-Za-z0-9_-]*){2,}\\.desktop$"));
    return app.dbusActivatable || app.singleMainWindow || busName.match(app.desktopId).hasMatch();
}

QString sandboxedRefusal(const DesktopApp &app)
{
    const QString kind = sandboxName(app.sandbox);
    return tandrel::tr(
        app.name + QStringLiteral(" está instalada como ") + kind
            + QStringLiteral(" y su sandbox no permite duplicarla: el sandbox decide dónde guarda sus datos, así que "
                             "la instancia compartiría la sesión original. Si existe como paquete del sistema o "
                             "descarga directa (fuera de Flatpak y Snap), instálala — esa sí suele ser duplicable."),
        app.name + QStringLiteral(" is installed as a ") + kind
            + QStringLiteral(" and its sandbox won't allow duplicating it: the sandbox decides where its data goes, "
                             "so the instance would share the original session. If it exists as a system package "
                             "or a direct download (outside Flatpak and Snap), install that one — it's usually "
                             "duplicable."));
}

QString handOffNotice(const DesktopApp &app)
{
    return tandrel::tr(
        app.name
            + QStringLiteral(" suele pasar una segunda apertura a la copia que ya está en marcha: si la original está "
                             "abierta, la instancia puede abrirse como otra ventana suya. Cierra la original antes "
                             "de abrir la instancia."),
        app.name
            + QStringLiteral(" usually hands a second launch to the copy that is already open: if the original is "
                             "running, the instance may open as another window of it. Quit the original before "
                             "opening the instance."));
}

LaunchAdditions launchAdditions(LaunchStrategy strategy, const QString &dataDir, const QString &windowClass)
{
    const auto in = [&dataDir](const char *relative) { return dataDir + QLatin1Char('/') + QLatin1String(relative); };
    switch (strategy) {
    case LaunchStrategy::UserDataDir:
        // The crash database would go to ~/.config/chromium without the variable; the
        // cache folder takes what GLib's and fontconfig's caches write.
        return {{QStringLiteral("--user-data-dir=") + in("profile"), QStringLiteral("--class=") + windowClass},
                {{QStringLiteral("BREAKPAD_DUMP_LOCATION"), in("crash")},
                 {QStringLiteral("XDG_CACHE_HOME"), in("cache")}}};
    case LaunchStrategy::GeckoProfile:
        // Newer releases keep crash reports and caches under the XDG folders as well.
        return {{QStringLiteral("--profile"), in("profile"), QStringLiteral("--class"), windowClass},
                {{QStringLiteral("XDG_CONFIG_HOME"), in("config")}, {QStringLiteral("XDG_CACHE_HOME"), in("cache")}}};
    case LaunchStrategy::IsolatedHome:
        break;
    }
    // The XDG folders are set too: a session that exports them would point past HOME.
    return {{},
            {{QStringLiteral("HOME"), in("home")},
             {QStringLiteral("XDG_CONFIG_HOME"), in("home/.config")},
             {QStringLiteral("XDG_DATA_HOME"), in("home/.local/share")},
             {QStringLiteral("XDG_CACHE_HOME"), in("home/.cache")},
             {QStringLiteral("XDG_STATE_HOME"), in("home/.local/state")},
             {QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("keyfile")}}};
}

QStringList foldersToCreate(LaunchStrategy strategy, const QString &dataDir)
{
    switch (strategy) {
    case LaunchStrategy::UserDataDir:
        return {dataDir + QStringLiteral("/profile"), dataDir + QStringLiteral("/crash")};
    case LaunchStrategy::GeckoProfile:
        // Started on a profile folder that does not exist, the Gecko browsers hang silently.
        return {dataDir + QStringLiteral("/profile"), dataDir + QStringLiteral("/config")};
    case LaunchStrategy::IsolatedHome:
        break;
    }
    return {dataDir + QStringLiteral("/home")};
}

} // namespace tandrel
