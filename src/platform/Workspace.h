#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>

namespace tandrel {

// The desktop's workspace: icons of bundles, starting a bundle as an application,
// showing an item in the file manager. Every call happens on the main thread and
// none reports a failure. Tests install a recording fake with setShared().
class Workspace
{
public:
    virtual ~Workspace() = default;

    // The bundle's own icon at its largest size, or a generic application icon:
    // never a null image.
    virtual QImage iconForFile(const QString &path) = 0;
    // Starts the bundle's executable as a new, independent process and returns at once.
    virtual void openApplication(const QUrl &bundle) = 0;
    // Brings the file manager forward with the items selected.
    virtual void activateFileViewerSelecting(const QList<QUrl> &items) = 0;

    // The process-wide workspace: the platform's own unless a test replaced it.
    static Workspace &shared();
    // Replaces the shared workspace (not owned); nullptr restores the platform's.
    static void setShared(Workspace *workspace);
};

} // namespace tandrel
