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

// What a known app needs to run as a separate copy beside its original, and the way its
// toolkit lets the instance's windows carry a class of their own, as each app's own help
// gives them (measured in docs/research/apps-that-keep-one-copy.md).
struct SeparateCopyRecipe
{
    enum class ClassOption {
        None, // none it honours (apps that fix their class, those that refuse GTK's options)
        Gtk, // --class=<class> --name=<class> (GTK 2 and 3)
        X, // -class <class> (X toolkit)
        Qt, // -name <class>: Qt sets only the instance part, the part desktops match first
        ProgramName, // started under the class as its name: GTK 4 takes the class from it
    };
    QStringList programs; // the program's own names
    QStringList arguments; // what keeps it from handing over to a running copy
    ClassOption classOption = ClassOption::None;
    bool ownBus = false; // unique on the session bus with no option against it
    bool ownTemp = false; // its single-copy lock lives in the temporary folder
    bool ownHome = false; // a Gecko app that writes under HOME whatever the XDG folders say
};
const QList<SeparateCopyRecipe> &separateCopyRecipes();
// The recipe for the app's program (or the program its links lead to), if any.
const SeparateCopyRecipe *separateCopyRecipe(const DesktopApp &app);

// Whether the app claims a well-known name on the session bus, so that a second launch
// hands its work to the running copy: DBusActivatable, or a session service named after
// its desktop id (GApplication apps ship one). An id shaped like a bus name is not
// enough: GNOME's Calculator and Telegram have one and run a copy per launch.
bool claimsBusName(const DesktopApp &app);
// Whether this system can give an instance a session bus of its own (dbus-daemon, flock).
bool privateBusAvailable();

// How an instance of the app is kept a copy of its own, with the strategy it has.
struct CopyPlan
{
    const SeparateCopyRecipe *recipe = nullptr;
    bool ownBus = false; // started on a session bus of its own
    bool handsOff = false; // needs a bus of its own that this system cannot give
    bool namedWindows = false; // its windows carry the instance's class on X11
    bool namedOnWayland = false; // and its app id on Wayland
};
CopyPlan copyPlan(const DesktopApp &app, LaunchStrategy strategy);

// What a strategy adds to the app's command: the arguments go right after the program,
// the variables in front of it, and the wrapper (a command that ends by running the rest)
// between them. Paths are absolute and without a trailing separator.
struct LaunchAdditions
{
    QStringList arguments;
    QList<std::pair<QString, QString>> environment;
    QStringList wrapper;
};
LaunchAdditions launchAdditions(
    LaunchStrategy strategy, const QString &dataDir, const QString &windowClass, const CopyPlan &plan = {});

// The script that runs the command after it on the instance's own session bus. Its first
// argument is the folder that keeps the bus's address and locks. The first launch starts
// a bus daemon; later launches, while any process started through it lives, reuse it; a
// watcher ends it when the last of them has ended. Accessibility keeps the session's own
// bus. Should the daemon not start, the command runs on the session's bus.
QString privateBusScript();

// The folders inside the data folder that the strategy's programs expect to exist (the
// Gecko profile, say); created when the instance is written.
QStringList foldersToCreate(LaunchStrategy strategy, const QString &dataDir, const CopyPlan &plan = {});

} // namespace tandrel
