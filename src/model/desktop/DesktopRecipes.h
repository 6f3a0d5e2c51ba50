#pragma once

#include "model/LaunchStrategy.h"
#include "model/Mode.h"
#include "model/desktop/DesktopApps.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace tandrel {

// How an instance of a desktop app is started, from what the app is:
// - "udd" for the Chromium family and Electron apps: their own --user-data-dir;
// - "gecko" for the Gecko family: their own --profile;
// - "home" for every other app, and for any app when the user picks Mode::Home.
// Flatpak and Snap apps get nothing: their sandbox decides where their data goes, so an
// instance would share the original's session.
std::optional<LaunchStrategy> desktopStrategy(const DesktopApp &app, Mode mode);

// What a known app needs to run as a separate copy beside its original, with its "home"
// instance, and the option its toolkit takes for the window class, as each app's own help
// gives them (measured in docs/research/apps-that-keep-one-copy.md).
struct SeparateCopyRecipe
{
    enum class ClassOption {
        None, // none it honours (GTK 4 apps, those that refuse GTK's options)
        Gtk, // --class=<class>
        X, // -class <class>
    };
    QStringList programs; // the program's own names
    QStringList arguments; // what keeps it from handing over to a running copy
    ClassOption classOption = ClassOption::None;
};
const QList<SeparateCopyRecipe> &separateCopyRecipes();
// The recipe for the app's program (or the program its links lead to), if any.
const SeparateCopyRecipe *separateCopyRecipe(const DesktopApp &app);

// Whether a second launch of the app is likely handed to its running copy rather than
// starting the instance: the app is unique on the session bus (DBusActivatable, a desktop
// id that is a bus name, as GApplication and KDE apps use) or has a single main window.
// Only "home" instances are affected: the browsers keep one running copy per profile. An
// app whose recipe makes it a separate copy is not.
bool handsOffToRunningCopy(const DesktopApp &app, LaunchStrategy strategy);

// What a strategy adds to the app's command: the arguments go right after the program,
// the variables in front of it; for "home", the recipe's arguments and class option too.
// Paths are absolute and without a trailing separator.
struct LaunchAdditions
{
    QStringList arguments;
    QList<std::pair<QString, QString>> environment;
};
LaunchAdditions launchAdditions(LaunchStrategy strategy, const QString &dataDir, const QString &windowClass,
    const SeparateCopyRecipe *recipe = nullptr);

// The folders inside the data folder that the strategy's programs expect to exist (the
// Gecko profile, say); created when the instance is written.
QStringList foldersToCreate(LaunchStrategy strategy, const QString &dataDir);

} // namespace tandrel
