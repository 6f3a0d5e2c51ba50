#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>

namespace tandrel {

// How a program that ended moments after it was started ended, for the message that says so.
struct EarlyExit
{
    int exitCode = 0; // when it exited with an error
    int signal = 0; // when a signal ended it
    QString lastLines; // the end of its error output, as text
};
using EarlyExitHandler = std::function<void(const EarlyExit &)>;

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
    // platforms without a launch service start it directly. The arguments reach the
    // executable as they are, each one word, never through a shell.
    virtual void openApplication(
        const QUrl &bundle, const QString &executable, const QStringList &arguments = {})
        = 0;
    // Opens the web links in the bundle's app the way the platform hands links to an app
    // (on macOS its own events); elsewhere its executable gets them as arguments.
    virtual void openLinksWith(const QUrl &bundle, const QString &executable, const QStringList &links)
    {
        openApplication(bundle, executable, links);
    }
    // Starts the desktop entry at the path the way the desktop starts it, detached, and
    // returns at once. False when it could not be started (its program is missing, the
    // system refused); platforms without desktop entries do nothing and say false. When the
    // program ends with an error within a few seconds, onEarlyExit (if any) hears of it
    // later, on the main thread. The links, when given, are handed to the entry's program as
    // its command asks for addresses (each one word, never through a shell).
    virtual bool openDesktopEntry(
        const QString &path, const EarlyExitHandler &onEarlyExit, const QStringList &links = {})
    {
        Q_UNUSED(path)
        Q_UNUSED(onEarlyExit)
        Q_UNUSED(links)
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
