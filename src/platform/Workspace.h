#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>

namespace tandrel {

// The desktop's workspace: the icons it draws, starting a bundle as an application,
// showing an item in the file manager. Every call happens on the main thread and
// none reports a failure. Tests install a recording fake with setShared().
class Workspace
{
public:
    virtual ~Workspace() = default;

    // The icon the platform's file browser shows for the item, or a null image where the
    // platform draws none of its own (on Linux bundles are plain folders), or off the main
    // thread, where the platform's drawing cannot run.
    virtual QImage iconForFile(const QString &path) = 0;
    // Starts the bundle as a new, independent process and returns at once. `executable`
    // is the bundle's own executable as its Info.plist names it (empty when unusable);
    // platforms without a launch service start it directly.
    virtual void openApplication(const QUrl &bundle, const QString &executable) = 0;
    // Starts the desktop entry at the path the way the desktop starts it, detached, and
    // returns at once. False when it could not be started (its program is missing, the
    // system refused); platforms without desktop entries do nothing and say false.
    virtual bool openDesktopEntry(const QString &path)
    {
        Q_UNUSED(path)
        return false;
    }
    // Brings the file manager forward with the items selected.
    virtual void activateFileViewerSelecting(const QList<QUrl> &items) = 0;

    // The process-wide workspace: the platform's own unless a test replaced it.
    static Workspace &shared();
    // Replaces the shared workspace (not owned); nullptr restores the platform's.
    static void setShared(Workspace *workspace);
};

} // namespace tandrel
