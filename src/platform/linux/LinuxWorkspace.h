#pragma once

#include "platform/Workspace.h"

#include <QString>
#include <QUrl>

#include <functional>

namespace tandrel {

// The workspace on Linux and other freedesktop systems, where macOS bundles are plain
// folders: the platform draws no bundle icons, an application is its executable started
// directly, and the file manager is asked over D-Bus.
class LinuxWorkspace final : public Workspace
{
public:
    using FolderOpener = std::function<void(const QUrl &folder)>;

    // folderOpener opens a folder when no file manager answers the D-Bus call;
    // by default QDesktopServices::openUrl. Tests pass a recorder.
    explicit LinuxWorkspace(FolderOpener folderOpener = {});

    // Always null: bundle icons come from the bundle's own ICNS, read by the caller.
    QImage iconForFile(const QString &path) override;
    // Starts the executable detached, with the arguments, in the current working folder;
    // does nothing when it is not an executable file inside the bundle.
    void openApplication(
        const QUrl &bundle, const QString &executable, const QStringList &arguments = {}) override;
    // Through GIO, as the desktop's menus start it.
    bool openDesktopEntry(
        const QString &path, const EarlyExitHandler &onEarlyExit, const QStringList &links) override;
    // org.freedesktop.FileManager1.ShowItems on the session bus, asynchronously; when
    // it fails, the items' parent folders are opened instead.
    void activateFileViewerSelecting(const QList<QUrl> &items) override;

private:
    FolderOpener m_openFolder;
};

} // namespace tandrel
