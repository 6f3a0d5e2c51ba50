#include "model/desktop/DesktopRecipes.h"

#include "model/AppFamilies.h"
#include "platform/FileSystem.h"

#include <QRegularExpression>

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
    static const QList<SeparateCopyRecipe> recipes {
        { { QStringLiteral("mousepad") }, { QStringLiteral("--disable-server") }, Class::Gtk },
        { { QStringLiteral("gnome-text-editor") }, { QStringLiteral("--standalone") }, Class::None },
        { { QStringLiteral("gedit") }, { QStringLiteral("--standalone") }, Class::Gtk },
        { { QStringLiteral("xfce4-terminal") }, { QStringLiteral("--disable-server") }, Class::None },
        { { QStringLiteral("konsole") }, { QStringLiteral("--separate") }, Class::None },
        { { QStringLiteral("eog") }, { QStringLiteral("--new-instance") }, Class::Gtk },
        { { QStringLiteral("gimp"), QStringLiteral("gimp-2.10") }, { QStringLiteral("--new-instance") },
            Class::Gtk },
        { { QStringLiteral("geany") }, { QStringLiteral("--new-instance") }, Class::Gtk },
        { { QStringLiteral("rhythmbox") }, { QStringLiteral("--no-registration") }, Class::Gtk },
        // Already a copy of their own: only the class.
        { { QStringLiteral("evince"), QStringLiteral("ristretto"), QStringLiteral("pluma") }, {},
            Class::Gtk },
        { { QStringLiteral("xterm"), QStringLiteral("uxterm") }, {}, Class::X },
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

bool handsOffToRunningCopy(const DesktopApp &app, LaunchStrategy strategy)
{
    if (strategy != LaunchStrategy::IsolatedHome)
        return false;
    if (const SeparateCopyRecipe *recipe = separateCopyRecipe(app); recipe && !recipe->arguments.isEmpty())
        return false;
    // org.example.App.desktop: at least three dot-separated elements before the suffix.
    static const QRegularExpression busName(
        QStringLiteral("^[A-Za-z_][A-Za-z0-9_-]*(\\.[A-Za-z_][A-Za-z0-9_-]*){2,}\\.desktop$"));
    return app.dbusActivatable || app.singleMainWindow || busName.match(app.desktopId).hasMatch();
}

LaunchAdditions launchAdditions(LaunchStrategy strategy, const QString &dataDir, const QString &windowClass,
    const SeparateCopyRecipe *recipe)
{
    const auto in
        = [&dataDir](const char *relative) { return dataDir + QLatin1Char('/') + QLatin1String(relative); };
    switch (strategy) {
    case LaunchStrategy::UserDataDir:
        // The crash database would go to ~/.config/chromium without the variable; the
        // cache folder takes what GLib's and fontconfig's caches write.
        return { { QStringLiteral("--user-data-dir=") + in("profile"),
                     QStringLiteral("--class=") + windowClass },
            { { QStringLiteral("BREAKPAD_DUMP_LOCATION"), in("crash") },
                { QStringLiteral("XDG_CACHE_HOME"), in("cache") } } };
    case LaunchStrategy::GeckoProfile:
        // Newer releases keep crash reports and caches under the XDG folders as well.
        return { { QStringLiteral("--profile"), in("profile"), QStringLiteral("--class"), windowClass },
            { { QStringLiteral("XDG_CONFIG_HOME"), in("config") },
                { QStringLiteral("XDG_CACHE_HOME"), in("cache") } } };
    case LaunchStrategy::IsolatedHome:
        break;
    }
    QStringList arguments;
    if (recipe) {
        arguments = recipe->arguments;
        if (recipe->classOption == SeparateCopyRecipe::ClassOption::Gtk)
            arguments << QStringLiteral("--class=") + windowClass;
        else if (recipe->classOption == SeparateCopyRecipe::ClassOption::X)
            arguments << QStringLiteral("-class") << windowClass;
    }
    // The XDG folders are set too: a session that exports them would point past HOME.
    return { arguments,
        { { QStringLiteral("HOME"), in("home") }, { QStringLiteral("XDG_CONFIG_HOME"), in("home/.config") },
            { QStringLiteral("XDG_DATA_HOME"), in("home/.local/share") },
            { QStringLiteral("XDG_CACHE_HOME"), in("home/.cache") },
            { QStringLiteral("XDG_STATE_HOME"), in("home/.local/state") },
            { QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("keyfile") } } };
}

QStringList foldersToCreate(LaunchStrategy strategy, const QString &dataDir)
{
    switch (strategy) {
    case LaunchStrategy::UserDataDir:
        return { dataDir + QStringLiteral("/profile"), dataDir + QStringLiteral("/crash") };
    case LaunchStrategy::GeckoProfile:
        // Started on a profile folder that does not exist, the Gecko browsers hang silently.
        return { dataDir + QStringLiteral("/profile"), dataDir + QStringLiteral("/config") };
    case LaunchStrategy::IsolatedHome:
        break;
    }
    return { dataDir + QStringLiteral("/home") };
}

} // namespace tandrel
