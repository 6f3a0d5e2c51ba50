#include "model/desktop/DesktopRecipes.h"

#include "model/AppFamilies.h"
#include "model/desktop/DesktopApps.h"
#include "platform/FileSystem.h"

#include <QRegularExpression>

#include <glib.h>

#include <algorithm>

namespace tandrel {
namespace {

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
    QStringList names { baseName(program), baseName(real) };
    for (QString &name : names) {
        if (versioned.match(name).hasMatch())
            name = QStringLiteral("electron");
    }
    return names;
}

// The program's folder, or the one above it for a launcher in a bin/ folder of its own.
bool installedWith(const QString &real, const QList<QStringList> &markers)
{
    const QString folder = parentOf(real);
    for (const QString &candidate : { folder, parentOf(folder) }) {
        for (const QStringList &marker : markers) {
            if (std::all_of(marker.cbegin(), marker.cend(),
                    [&](const QString &file) { return fs::fileExists(candidate + QLatin1Char('/') + file); }))
                return true;
        }
    }
    return false;
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
    for (const AppFamily &family : appFamilies()) {
        if (std::any_of(names.cbegin(), names.cend(),
                [&](const QString &name) { return family.programNames.contains(name); })
            || (!real.isEmpty() && installedWith(real, family.installMarkers)))
            return family.strategy;
    }
    return LaunchStrategy::IsolatedHome;
}

const QList<SeparateCopyRecipe> &separateCopyRecipes()
{
    using Class = SeparateCopyRecipe::ClassOption;
    const auto names = [](std::initializer_list<const char *> programs) {
        QStringList list;
        for (const char *program : programs)
            list << QLatin1String(program);
        return list;
    };
    const auto words = names;
    static const QList<SeparateCopyRecipe> recipes {
        // Their own option against handing over.
        { names({ "mousepad" }), words({ "--disable-server" }), Class::Gtk },
        { names({ "gnome-text-editor" }), words({ "--standalone" }), Class::ProgramName },
        { names({ "gedit" }), words({ "--standalone" }), Class::Gtk },
        { names({ "xfce4-terminal" }), words({ "--disable-server" }), Class::ProgramName },
        { names({ "konsole" }), words({ "--separate" }), Class::Qt },
        { names({ "eog", "gimp", "gimp-2.10" }), words({ "--new-instance" }), Class::Gtk },
        { names({ "geany" }), words({ "--new-instance" }), Class::Gtk },
        { names({ "rhythmbox" }), words({ "--no-registration" }), Class::Gtk },
        { names({ "vlc" }), words({ "--no-one-instance-when-started-from-file" }), Class::None },
        // Unique on the bus with no such option (Kate hands files to any copy it finds there).
        { names({ "kate" }), {}, Class::Qt, true },
        { names({ "thunar", "Thunar", "file-roller", "totem", "gnome-system-monitor", "evince" }), {},
            Class::Gtk, true },
        { names({ "kgx" }), {}, Class::ProgramName, true },
        { names({ "nautilus", "gnome-terminal" }), {}, Class::None, true },
        // A lock in the temporary folder.
        { names({ "pluma" }), {}, Class::Gtk, false, true },
        { names({ "keepassxc" }), {}, Class::Qt, false, true },
        // Gecko, but ~/.thunderbird whatever XDG_CONFIG_HOME says.
        { names({ "thunderbird" }), {}, Class::None, false, false, true },
        // Already a copy of their own: only the class.
        { names({ "ristretto", "transmission-gtk" }), {}, Class::Gtk },
        { names({ "gnome-calculator" }), {}, Class::ProgramName },
        { names({ "kwrite", "okular", "gwenview", "kcalc", "ark", "dolphin" }), {}, Class::Qt },
        { names({ "xterm", "uxterm" }), {}, Class::X },
    };
    return recipes;
}

const SeparateCopyRecipe *separateCopyRecipe(const DesktopApp &app)
{
    const QString real = fs::resolvedPath(app.program);
    const QStringList names = programNames(app.program, real.isEmpty() ? app.program : real);
    for (const SeparateCopyRecipe &recipe : separateCopyRecipes()) {
        if (std::any_of(names.cbegin(), names.cend(),
                [&](const QString &name) { return recipe.programs.contains(name); }))
            return &recipe;
    }
    return nullptr;
}

bool claimsBusName(const DesktopApp &app)
{
    if (app.dbusActivatable)
        return true;
    static const QRegularExpression busName(
        QStringLiteral("^[A-Za-z_][A-Za-z0-9_-]*(\\.[A-Za-z_][A-Za-z0-9_-]*)+\\.desktop$"));
    if (!busName.match(app.desktopId).hasMatch())
        return false;
    const QString service
        = QStringLiteral("/dbus-1/services/") + app.desktopId.chopped(8) + QStringLiteral(".service");
    const QStringList folders = desktopApplicationFolders();
    return std::any_of(folders.cbegin(), folders.cend(), [&service](const QString &applications) {
        return fs::itemKind(parentOf(applications) + service) == fs::ItemKind::File;
    });
}

bool privateBusAvailable()
{
    for (const char *program : { "dbus-daemon", "flock" }) {
        gchar *found = g_find_program_in_path(program);
        const bool present = found != nullptr;
        g_free(found);
        if (!present)
            return false;
    }
    return true;
}

CopyPlan copyPlan(const DesktopApp &app, LaunchStrategy strategy)
{
    CopyPlan plan;
    plan.recipe = separateCopyRecipe(app);
    if (strategy != LaunchStrategy::IsolatedHome) {
        plan.namedWindows = plan.namedOnWayland = true; // the browsers take --class and --name
        return plan;
    }
    const bool needsBus = plan.recipe ? plan.recipe->ownBus : claimsBusName(app);
    plan.ownBus = needsBus && privateBusAvailable();
    plan.handsOff = needsBus && !plan.ownBus;
    using Class = SeparateCopyRecipe::ClassOption;
    const Class option = plan.recipe ? plan.recipe->classOption : Class::None;
    plan.namedWindows = option != Class::None;
    // GTK 4 and Qt take their Wayland app id from the app's own id, whatever its name.
    plan.namedOnWayland = option == Class::Gtk || option == Class::X;
    return plan;
}

QString privateBusScript()
{
    // $0 is the folder. "start" lets one launch at a time decide; each launch holds "life"
    // shared for as long as its program runs; the daemon holds "bus" for as long as it
    // lives. The watcher takes "life" exclusively, so it wakes once every program that
    // launched through the bus has ended, and it holds it until the daemon is gone, so no
    // launch picks up a bus that is going away. Signals from a terminal are left to the
    // program.
    return QStringLiteral(R"(b=$0;
mkdir -p "$b" && exec 8>>"$b/start" && flock 8 && exec 9>>"$b/life" && flock -s 9 || exec "$@";
if flock -n "$b/bus" true; then
 rm -f "$b/address";
 ( ( trap '' INT HUP; exec 8>&- 9>&- 7>>"$b/bus" </dev/null >/dev/null 2>&1;
 flock -n 7 || exit;
 dbus-daemon --session --nofork --address="unix:tmpdir=${XDG_RUNTIME_DIR:-/tmp}" --print-address=6 6>"$b/address" &
 d=$!; exec 7>&- 9>>"$b/life"; flock 9; kill $d; wait $d; rm -f "$b/address" ) & );
 i=0; while [ ! -s "$b/address" ] && [ $i -lt 100 ]; do sleep 0.05; i=$((i+1)); done;
fi;
exec 8>&-; a=$(cat "$b/address" 2>/dev/null);
if [ -n "$a" ]; then
 [ -n "$AT_SPI_BUS_ADDRESS" ] || AT_SPI_BUS_ADDRESS=$(dbus-send --session --reply-timeout=2000 --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress 2>/dev/null) && export AT_SPI_BUS_ADDRESS=${AT_SPI_BUS_ADDRESS#"${AT_SPI_BUS_ADDRESS%%[! ]*}"};
 export DBUS_SESSION_BUS_ADDRESS="$a";
fi;
exec "$@")")
        .simplified();
}

LaunchAdditions launchAdditions(
    LaunchStrategy strategy, const QString &dataDir, const QString &windowClass, const CopyPlan &plan)
{
    using Class = SeparateCopyRecipe::ClassOption;
    const auto in
        = [&dataDir](const char *relative) { return dataDir + QLatin1Char('/') + QLatin1String(relative); };
    const SeparateCopyRecipe *recipe = plan.recipe;
    switch (strategy) {
    case LaunchStrategy::UserDataDir:
        // The crash database would go to ~/.config/chromium without the variable; the
        // cache folder takes what GLib's and fontconfig's caches write.
        return { { QStringLiteral("--user-data-dir=") + in("profile"),
                     QStringLiteral("--class=") + windowClass },
            { { QStringLiteral("BREAKPAD_DUMP_LOCATION"), in("crash") },
                { QStringLiteral("XDG_CACHE_HOME"), in("cache") } },
            {} };
    case LaunchStrategy::GeckoProfile: {
        // Newer releases keep crash reports and caches under the XDG folders as well. --class
        // names the windows on X11, --name on Wayland.
        LaunchAdditions gecko { { QStringLiteral("--profile"), in("profile"), QStringLiteral("--class"),
                                    windowClass, QStringLiteral("--name"), windowClass },
            { { QStringLiteral("XDG_CONFIG_HOME"), in("config") },
                { QStringLiteral("XDG_CACHE_HOME"), in("cache") } },
            {} };
        if (recipe && recipe->ownHome)
            gecko.environment.prepend({ QStringLiteral("HOME"), in("home") });
        return gecko;
    }
    case LaunchStrategy::IsolatedHome:
        break;
    }
    // The XDG folders are set too: a session that exports them would point past HOME.
    LaunchAdditions home { {},
        { { QStringLiteral("HOME"), in("home") }, { QStringLiteral("XDG_CONFIG_HOME"), in("home/.config") },
            { QStringLiteral("XDG_DATA_HOME"), in("home/.local/share") },
            { QStringLiteral("XDG_CACHE_HOME"), in("home/.cache") },
            { QStringLiteral("XDG_STATE_HOME"), in("home/.local/state") },
            { QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("keyfile") } },
        {} };
    if (plan.ownBus)
        home.wrapper << QStringLiteral("/bin/sh") << QStringLiteral("-c") << privateBusScript() << in("bus");
    if (!recipe)
        return home;
    if (recipe->ownTemp)
        home.environment.append({ QStringLiteral("TMPDIR"), in("tmp") });
    home.arguments = recipe->arguments;
    switch (recipe->classOption) {
    case Class::Gtk:
        // The class on X11; the name is the app id on Wayland and the instance part on X11.
        home.arguments << QStringLiteral("--class=") + windowClass << QStringLiteral("--name=") + windowClass;
        break;
    case Class::X:
        home.arguments << QStringLiteral("-class") << windowClass;
        break;
    case Class::Qt:
        home.arguments << QStringLiteral("-name") << windowClass;
        break;
    case Class::ProgramName:
        // bash is Essential on Debian; dash has no `exec -a`.
        home.wrapper << QStringLiteral("/bin/bash") << QStringLiteral("-c")
                     << QStringLiteral("exec -a \"$0\" \"$@\"") << windowClass;
        break;
    case Class::None:
        break;
    }
    return home;
}

QStringList foldersToCreate(LaunchStrategy strategy, const QString &dataDir, const CopyPlan &plan)
{
    const bool ownHome = plan.recipe && plan.recipe->ownHome;
    switch (strategy) {
    case LaunchStrategy::UserDataDir:
        return { dataDir + QStringLiteral("/profile"), dataDir + QStringLiteral("/crash") };
    case LaunchStrategy::GeckoProfile:
        // Started on a profile folder that does not exist, the Gecko browsers hang silently.
        if (ownHome)
            return { dataDir + QStringLiteral("/profile"), dataDir + QStringLiteral("/config"),
                dataDir + QStringLiteral("/home") };
        return { dataDir + QStringLiteral("/profile"), dataDir + QStringLiteral("/config") };
    case LaunchStrategy::IsolatedHome:
        break;
    }
    if (plan.recipe && plan.recipe->ownTemp)
        return { dataDir + QStringLiteral("/home"), dataDir + QStringLiteral("/tmp") };
    return { dataDir + QStringLiteral("/home") };
}

} // namespace tandrel
