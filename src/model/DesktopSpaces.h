#pragma once

#include "model/InstalledApp.h"
#include "model/LaunchStrategy.h"
#include "model/Mode.h"
#include "model/Removal.h"
#include "model/SpaceInfo.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// What the Store does with desktop entries, the apps and instances of a Linux desktop,
// beside the application bundles of every platform. Elsewhere every function finds nothing.
namespace tandrel::desktop {

// Where the desktop's apps are listed: "<data home>/applications", each of
// $XDG_DATA_DIRS, the Flatpak and Snap folders.
QStringList defaultFolders();
// The desktop apps whose entries are in the folders (and below), as InstalledApps named
// after their entries' localised Name.
QList<InstalledApp> listApps(const QStringList &folders);
// The app whose entry is at the path, when the entry is one the folders would list.
std::optional<InstalledApp> appAt(const QString &path);

// A Flatpak or Snap app: its sandbox decides where its data goes.
bool isSandboxed(const InstalledApp &app);
// The strategy creation would pick, or nothing for a sandboxed or unreadable entry.
std::optional<LaunchStrategy> strategyFor(const InstalledApp &app, Mode mode);
// The desktop id ("chromium.desktop").
QString identifier(const InstalledApp &app);
// Why a sandboxed app cannot be duplicated, in the language in force.
QString sandboxWarning(const InstalledApp &app);
// A notice for an app that hands a second launch to its running copy, or nothing.
std::optional<QString> handOffNotice(const InstalledApp &app, Mode mode);
// The app's icon as its entry names it (a theme icon or a file), or null. Any thread.
QImage icon(const QString &entryPath);

// Writes an instance: its data folder "<data root>/<id>" with the badged icon and the
// record, then its entry beside the user's other entries. Refuses as the bundle road
// does. Returns the entry's URL.
QUrl writeInstance(const InstalledApp &target, const QString &instanceName, Mode mode,
                   std::optional<LaunchStrategy> forced, const QString &dataRoot, const QString &home);

// The instances whose entries Tandrel wrote.
QList<SpaceInfo> scanInstances();
// Removes an instance's entry when it is Tandrel's; true when nothing is left at its path.
bool removeInstanceEntry(const SpaceInfo &space, RemovalReport &report);
// Removes every instance entry Tandrel wrote, and Tandrel's own entry and icons when it
// installed them for the user (at their exact paths, real files only).
void removeEverything(RemovalReport &report);

} // namespace tandrel::desktop
