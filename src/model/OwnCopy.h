#pragma once

#include <QString>

#include <optional>

namespace tandrel {

enum class HostPlatform { MacOS, Linux };
HostPlatform hostPlatform();

// The copy of Tandrel that uninstalling moves to the trash, identified by its exact path,
// or nothing:
// - macOS: the bundle the process runs from (".../Name.app/Contents/MacOS/<executable>"),
//   when that bundle's Info.plist carries Tandrel's own identifier;
// - Linux: the AppImage the process runs from ($APPIMAGE), when it is a regular file.
// A packaged or copied executable (/usr/bin/tandrel, a build folder) belongs to the
// package manager or the user and is never trashed.
std::optional<QString> ownCopyToTrash(
    HostPlatform platform, const QString &applicationFilePath, const QString &appImage);

// Moves the copy to the user's trash; a failure is ignored.
void trashOwnCopy(const QString &copy);

// Tandrel's own bundle identifier.
inline constexpr auto ownBundleIdentifier = "io.tandrel.Tandrel";

} // namespace tandrel
