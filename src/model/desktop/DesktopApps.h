#pragma once

#include "model/desktop/DesktopExec.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tandrel {

// An application of the freedesktop desktop: one desktop entry as GIO reads it.
struct DesktopApp
{
    QString desktopId; // "chromium.desktop"; "kde/foo.desktop" in a folder is "kde-foo.desktop"
    QString filePath; // the entry file
    QString name; // Name in the language of the locale, as GIO picks it
    QString keywords; // GenericName and Keywords, likewise, one per line
    QString icon; // Icon as written: a theme name or an absolute path
    QString exec; // Exec as written (unescaped), field codes included
    QString startupWmClass; // may be empty
    bool dbusActivatable = false;
    QString program; // what Exec starts (after an `env` prefix), found on PATH: absolute
    SandboxKind sandbox = SandboxKind::None;
    // It says it handles http or https links and its Exec takes addresses.
    bool opensLinks = false;
};

// The marker key of the entries Tandrel writes for its instances; its value is the id.
inline constexpr char instanceMarkerKey[] = "X-Tandrel-Instance";

// $XDG_DATA_HOME, else "<home>/.local/share"; nothing when neither is an absolute path.
std::optional<QString> dataHome();

// The folders searched, in order: "<data home>/applications", "<dir>/applications" for each
// of $XDG_DATA_DIRS (by default /usr/local/share and /usr/share), then, when not among them
// already, the folders where Flatpak (system-wide and the user's) and Snap export their
// entries. Relative paths are left out. Read afresh at each call.
QStringList desktopApplicationFolders();

// The apps listed in the folders (and their subfolders), sorted by name. The first
// entry of a desktop id decides for that id, whatever it holds: a user's copy with
// Hidden=true hides the system's one. Skipped: entries that are not Type=Application,
// Hidden or NoDisplay ones, those whose TryExec or program is not found, those without a
// Name or Exec, Tandrel's own and its instances'. Unreadable folders and entries are passed
// over; the number of entries read is capped.
QList<DesktopApp> discoverDesktopApps(const QStringList &folders);

// The entry at the path as an app with the given id, when the rules above keep it.
std::optional<DesktopApp> readDesktopApp(const QString &path, const QString &desktopId);

} // namespace tandrel
