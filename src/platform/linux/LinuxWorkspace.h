#pragma once

#include "platform/Workspace.h"

#include <QCache>
#include <QImage>
#include <QString>
#include <QUrl>

#include <functional>

namespace tandrel {

// The workspace on Linux and other freedesktop systems, where macOS bundles are
// plain folders: icons come from the bundle's own ICNS, an application is its
// CFBundleExecutable started directly, and the file manager is asked over D-Bus.
class LinuxWorkspace final : public Workspace
{
public:
    using FolderOpener = std::function<void(const QUrl &folder)>;

    // Decoded icons are kept up to this many pixels in all (128 MiB as 32-bit pixels):
    // 32 icons of 1024 × 1024 or 128 of 512 × 512.
    static constexpr qsizetype maxCachedIconPixels = 32 * 1024 * 1024;

    // folderOpener opens a folder when no file manager answers the D-Bus call;
    // by default QDesktopServices::openUrl. Tests pass a recorder.
    explicit LinuxWorkspace(FolderOpener folderOpener = {});

    // For a folder ending in ".app", the largest image of Contents/Resources/<CFBundleIconFile>
    // (".icns" added to a name without extension); otherwise, or on any failure, the
    // generic icon. Decoded icons are cached by path and modification time.
    QImage iconForFile(const QString &path) override;
    // Starts Contents/MacOS/<CFBundleExecutable> detached, without arguments, in the
    // current working folder; does nothing when any part is missing.
    void openApplication(const QUrl &bundle) override;
    // org.freedesktop.FileManager1.ShowItems on the session bus, asynchronously; when
    // it fails, the items' parent folders are opened instead.
    void activateFileViewerSelecting(const QList<QUrl> &items) override;

    // How many ICNS files were decoded: a request served from the cache adds nothing.
    int iconDecodeCount() const { return m_iconDecodeCount; }

private:
    QCache<QString, QImage> m_icons { maxCachedIconPixels };
    int m_iconDecodeCount = 0;
    FolderOpener m_openFolder;
};

} // namespace tandrel
