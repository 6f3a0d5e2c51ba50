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

// Whether a second launch of the app is likely handed to its running copy rather than
// starting the instance: the app is unique on the session bus (DBusActivatable, a desktop
// id that is a bus name, as GApplication and KDE apps use) or has a single main window.
// Only "home" instances are affected: the browsers keep one running copy per profile.
bool handsOffToRunningCopy(const DesktopApp &app, LaunchStrategy strategy);

// What a strategy adds to the app's command: the arguments go right after the program,
// the variables in front of it. Paths are absolute and without a trailing separator.
struct LaunchAdditions
{
    QStringList arguments;
    QList<std::pair<QString, QString>> environment;
};
LaunchAdditions launchAdditions(LaunchStrategy strategy, const QString &dataDir, const QString &windowClass);

// The folders inside the data folder that the strategy's programs expect to exist (the
// Gecko profile, say); created when the instance is written.
QStringList foldersToCreate(LaunchStrategy strategy, const QString &dataDir);

} // namespace tandrel
