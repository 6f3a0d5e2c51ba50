#pragma once

#include "model/InstalledApp.h"
#include "model/LaunchStrategy.h"
#include "model/Mode.h"
#include "model/Removal.h"
#include "model/SpaceInfo.h"
#include "model/SpaceRecord.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace tandrel {

// What a road says of one app, for one isolation mode, in the language in force.
// Told, with the message to show, that an instance that started ended at once with an error.
using LaunchFailureHandler = std::function<void(const QString &message)>;

struct AppFacts
{
    // The app's identifier: a bundle identifier or a desktop id; empty when unreadable.
    QString identifier;
    bool sandboxed = false;
    // How an instance would start it; nothing when the app is unreadable or sandboxed.
    std::optional<LaunchStrategy> strategy;
    // Why creating an instance is refused (the app cannot be read or run, or its sandbox
    // decides where its data goes); empty when it is not.
    QString refusal;
    // Something the user should know before making the instance; empty when nothing.
    QString notice;
};

// A place that uninstalling empties, as the confirmation names it.
struct UninstallPlace
{
    enum class Holds { Instances, Data };
    Holds holds = Holds::Instances;
    QString path; // absolute; may end in a file-name pattern, as in …/tandrel-*.desktop
};

// One kind of app and its instances: application bundles (every platform) or the desktop
// entries of a Linux desktop. The Store runs the steps every kind shares (names and their
// refusals, uniqueness, the id, the record, rescans) and asks the road of an app or
// instance for the rest; nothing outside a road asks what kind of app it holds.
// Roads hold no state and are used from any thread unless a method says otherwise.
class Road
{
public:
    virtual ~Road() = default;

    // Whether the path (an app, or the launcher of one of this road's instances) is of
    // this road, from its name alone: cheap, touches no file.
    virtual bool owns(const QString &path) const = 0;

    // The folders searched for this road's apps by default, in order.
    virtual QStringList defaultFolders() const = 0;
    // This road's apps in the folders, in the order found (the Store sorts them).
    virtual QList<InstalledApp> listApps(const QStringList &folders) const = 0;
    // The app at the path, when this road lists such an app there.
    virtual std::optional<InstalledApp> appAt(const QString &path) const = 0;

    // Whether the app's sandbox would share its data with every instance. Reads the app
    // each time; callers go through the process's cache (SandboxCache.h).
    virtual bool isSandboxed(const QString &appPath) const = 0;
    // The app's facts for the mode, its sandbox answer through the cache.
    virtual AppFacts factsOf(const InstalledApp &app, Mode mode) const = 0;
    // How the road words a sandboxed app of its own, in the language in force: the create
    // sheet's warning, the app card's one-line tooltip, and why such apps are listed apart.
    virtual QString sandboxWarning(const InstalledApp &app) const = 0;
    virtual QString sandboxTooltip(const InstalledApp &app) const = 0;
    virtual QString sandboxExplanation() const = 0;

    // The icon of an app or instance of this road, read from its files; null when it has
    // none of its own.
    virtual QImage icon(const QString &path) const = 0;

    // Where new instances keep their data ("<root>/<id>"). Throws TandrelError when
    // there is no home to put it in.
    virtual QString dataRoot() const = 0;
    // Every root whose "<root>/<id>" folders this road's instances may own: dataRoot()
    // first, then any an earlier release used.
    virtual QStringList dataRoots() const { return { dataRoot() }; }

    // The folder holding this road's launchers. Throws TandrelError without a home.
    virtual QString instancesFolder() const = 0;
    // Where the launcher of the instance the record describes goes, in instancesFolder().
    virtual QString launcherPath(const InstalledApp &target, const SpaceRecord &record) const = 0;
    // Writes the instance the record describes under temporary names: its launcher (a
    // wrapper bundle, a desktop entry) at stagedLauncher, its data folder with everything
    // it starts with at stagedData. What they say names the final places (launcherPath(),
    // record.dataDir), where the Store then puts them. Refusals throw TandrelError,
    // file-system failures FileSystemError; the Store removes what was staged. Any thread.
    virtual void writeInstance(const InstalledApp &target, const SpaceRecord &record,
        const QString &stagedLauncher, const QString &stagedData) const = 0;
    // What follows the writing and may take long (signing a bundle), off the main thread;
    // never fails.
    virtual void finishInstance(const QString &launcher) const = 0;
    // The instances whose launchers this road wrote, in any order. Never fails.
    virtual QList<SpaceInfo> scanInstances() const = 0;
    // The instance id the launcher at the path carries (whatever its file name), if any.
    virtual std::optional<QString> carriedId(const QString &launcher) const = 0;
    // Takes the instance's launcher out of the listing by renaming it to `staged`, in its
    // own folder, when it is Tandrel's (never through a link). True when nothing is left at
    // the launcher's path (one already gone included); what stays is reported.
    virtual bool withdrawLauncher(
        const SpaceInfo &space, const QString &staged, RemovalReport &report) const = 0;
    // Everything of this road that Tandrel made, for uninstalling.
    virtual void removeAll(RemovalReport &report) const = 0;
    // Starts the instance and returns at once; throws TandrelError when it cannot be
    // started. When it ends with an error moments later, onFailure (if any) is told why,
    // on the main thread. The links, when given, are opened in it, each handed on as one
    // word; an instance whose command takes no addresses is refused. Main thread.
    virtual void launch(
        const SpaceInfo &space, const QStringList &links, const LaunchFailureHandler &onFailure) const = 0;

    // Whether the app opens web links: it says it handles http or https addresses.
    virtual bool opensLinks(const InstalledApp &app) const = 0;
    // This road's apps that open web links, found quickly (the link chooser waits for them).
    virtual QList<InstalledApp> linkApps() const = 0;
    // Opens the links in the app itself, as the desktop would; throws TandrelError when it
    // cannot.
    virtual void openLinksInApp(const InstalledApp &app, const QStringList &links) const = 0;

    // The places uninstalling empties, as the confirmation names them.
    virtual QList<UninstallPlace> uninstallPlaces() const = 0;
};

} // namespace tandrel
