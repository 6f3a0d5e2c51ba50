#pragma once

#include "model/LaunchStrategy.h"
#include "model/Removal.h"
#include "model/desktop/DesktopApps.h"
#include "model/desktop/DesktopRecipes.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace tandrel {

// An instance of a desktop app is an entry "<data home>/applications/tandrel-<id>.desktop"
// beside the user's other entries, so menus, docks and `gio launch` list it at once, plus
// a data folder "<data root>/<id>" that holds everything the instance writes.

// "<data home>/applications"; nothing without a data home (see dataHome()).
std::optional<QString> instanceEntriesFolder();
// "<data home>/tandrel": one data folder per instance.
std::optional<QString> desktopDataRoot();
// "tandrel-<id>.desktop".
QString instanceEntryFileName(const QString &id);
// "tandrel-<id>": the entry's own desktop id, so desktops that match windows to entries by
// their class find the instance's entry (and its badged icon) even without StartupWMClass,
// and two instances of one app never share a class.
QString instanceWindowClass(const QString &id);

// What the caller decides about a new instance.
struct DesktopInstancePlan
{
    QString id; // lower-case UUID (isInstanceId)
    QString instanceName; // the cleaned name: the instance is called "<app> - <name>"
    QString dataDir; // "<data root>/<id>", absolute
    QString iconPath; // the badged PNG, absolute, written by the caller; empty keeps the app's icon
    QString windowClass; // usually instanceWindowClass(id)
    LaunchStrategy strategy = LaunchStrategy::IsolatedHome;
};

// The instance's Exec value: the original command with the arguments inserted right after
// its program and the variables set through `env` in front of it (after any `env` prefix
// of its own, so that ours win), every field code left in its place, every added word
// quoted by the desktop-entry rules. Nothing when the command does not parse.
std::optional<QString> instanceExec(const QString &exec, const LaunchAdditions &additions);

// Writes a new instance of the app: first the data folder with what the strategy needs
// (the Gecko profile, and a link to the user's user-dirs.dirs so downloads keep going to
// the user's folder; for "home", the home with links named Documents, Downloads and
// Desktop to the user's own folders; no link replaces anything), then the entry.
// The entry names the instance "<app> - <name>" in every language the app's entry has,
// points to the icon, names the window class where the app's windows will carry it
// (copyPlan), and keeps the app's Categories, Terminal, StartupNotify and Path, its
// GenericName, Comment and Keywords with their translations, and its actions, each started
// as the instance is; its MimeType is left out, so that the instance never opens the user's
// files or links in place of the app.
// With `stagedEntry` and `stagedData` the entry and the data folder are written there
// instead, still naming the final places, for the caller to move into place.
// Returns the entry's final path. Throws TandrelError for a Flatpak or Snap app (see
// sandboxedRefusal) or an entry it cannot read, FileSystemError when the disk refuses or
// something is already where the instance goes (nothing is replaced or followed), and
// std::invalid_argument for a plan whose id or paths are not what they must be.
QString writeDesktopInstance(const DesktopApp &app, const DesktopInstancePlan &plan,
    const QString &entriesFolder, const QString &stagedEntry = {}, const QString &stagedData = {});
// The id in the entry's marker, whatever the file is called; nothing for any other file.
std::optional<QString> desktopInstanceMarker(const QString &path);

// An instance as read back from its entry.
struct DesktopInstanceEntry
{
    QString id;
    QString path; // the entry file
    QString name; // Name: "<app> - <name>"
    QString instanceName; // the name alone
    QString target; // the app's entry file when the instance was made
    QString targetId; // and its desktop id
    std::optional<LaunchStrategy> strategy;
    QString dataDir; // as recorded: removable only when it is "<data root>/<id>"
    QString windowClass;
    std::optional<QDateTime> createdAt;
};

// The instance whose entry is at the path, when the entry is Tandrel's: a real file (not a
// link) directly inside the entries folder (itself a link or not), named exactly
// "tandrel-<id>.desktop", whose X-Tandrel-Instance is that same id.
std::optional<DesktopInstanceEntry> readDesktopInstance(const QString &path, const QString &entriesFolder);
bool isDesktopInstanceEntry(const QString &path, const QString &entriesFolder);
// Every instance entry in the folder, sorted by name. Never fails.
QList<DesktopInstanceEntry> scanDesktopInstances(const QString &entriesFolder);

// Removes the entry when isDesktopInstanceEntry; an entry already gone counts as removed.
// Anything else at the path stays and is reported. Returns whether nothing is left there.
// With `withdrawTo` the entry is renamed there instead of removed.
bool removeDesktopInstanceEntry(
    const QString &path, const QString &entriesFolder, RemovalReport &report, const QString &withdrawTo = {});

} // namespace tandrel
