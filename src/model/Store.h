#pragma once

#include "model/InstalledApp.h"
#include "model/InstanceArchive.h"
#include "model/LaunchStrategy.h"
#include "model/LinkRules.h"
#include "model/Mode.h"
#include "model/Removal.h"
#include "model/Road.h"
#include "model/SpaceInfo.h"
#include "model/SpaceRecord.h"

#include <QColor>
#include <QFileSystemWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

namespace tandrel {

// The observable model of one window: the installed apps, the instances and the
// set of sandboxed apps. Lists are replaced whole; each replacement is signalled.
// Lives on the main thread. What differs between kinds of app (bundles, desktop entries)
// is asked of each app's road (Roads.h); the steps they share are taken here.
class Store : public QObject
{
    Q_OBJECT
public:
    using Mode = tandrel::Mode;
    // Tells which of the apps are sandboxed; runs on a background thread.
    using Detector = std::function<QSet<QString>(const QList<InstalledApp> &apps)>;

    // Whether the constructor runs the first refresh and keeps the instances up to date
    // with the disk (the window), or leaves the lists empty until asked (the command line,
    // which reads only what a command needs).
    enum class Start { Refresh, Idle };

    // applicationFolders replaces the folders searched for apps (tests pass temporary ones);
    // without it, every road's default folders (defaultApplicationFolders), asked at each use.
    explicit Store(std::optional<QStringList> applicationFolders = std::nullopt, QObject *parent = nullptr,
        Start start = Start::Refresh);

    const QList<InstalledApp> &apps() const { return m_apps; }
    const QList<SpaceInfo> &spaces() const { return m_spaces; }
    const QSet<QString> &sandboxedPaths() const { return m_sandboxedPaths; }

    // The user's home folder, asked afresh: throws TandrelError when HOME is unset, empty,
    // relative or the root, rather than putting anything in the wrong place.
    static QString home();
    // "<home>/Applications/Tandrel": one wrapper bundle per instance. Throws as home() does.
    static QString spacesDir();
    // "<home>/Library/Application Support/Tandrel": one data folder per wrapper bundle.
    static QString dataRoot();
    // The folders searched for apps: those given at construction, else the defaults.
    QStringList applicationFolders() const;
    void setApplicationFolders(std::optional<QStringList> folders);

    // Lists the apps of the folders, rescans the instances and starts the background
    // sandbox check, whose answer arrives later as sandboxedPaths. The answer of an
    // older refresh never replaces a newer one's.
    void refresh();
    // The apps every road finds in the folders, without Tandrel itself, sorted by name.
    static QList<InstalledApp> listApps(const QStringList &folders);
    // The app at the path as its road would list it, when it would.
    static std::optional<InstalledApp> appAt(const QString &path);
    // Replaces the background sandbox check (tests); empty restores the real one.
    void setDetector(Detector detector);

    // Rebuilds spaces from every road's instances. Never fails.
    void scanSpaces();
    // Removes the launcher (wrapper or entry) and then, only when that succeeded, the data
    // folder, both under the rules of Removal.h; then rescans. The report lists what was
    // left and why.
    RemovalReport deleteSpace(const SpaceInfo &space);
    // The processes running from each instance's data folder (their command line or
    // environment names it), by instance id(), as the last check found them. The window
    // checks every few seconds in the background; runningChanged follows a change.
    const QHash<QString, QList<qint64>> &running() const { return m_running; }
    // The same, found now, for the instances given. Any thread.
    static QHash<QString, QList<qint64>> runningProcesses(const QList<SpaceInfo> &spaces);
    // Ends the instance's processes and their children (SIGTERM, then SIGKILL after a few
    // seconds); true when none is left. Blocks for seconds: the window calls it in the
    // background. Any thread.
    static bool stopSpace(const SpaceInfo &space);
    // Starts a background check of which instances run.
    void checkRunning();
    // The bytes each instance's data folder takes on disk (never counting through a link),
    // by instance id(), as the last background count found them; counted again when the
    // list changes and every half minute in the window.
    const QHash<QString, qint64> &sizes() const { return m_sizes; }
    // The same, counted now. Any thread; reads every file's metadata, so not the main one.
    static QHash<QString, qint64> dataSizes(const QList<SpaceInfo> &spaces);
    // Starts a background count of the instances' sizes.
    void countSizes();

    // Whether the instance is a browser's (a user data folder or a Gecko profile of its own),
    // whose cache can be cleared.
    static bool hasCache(const SpaceInfo &space);
    // Removes the browser's cache folders inside the instance's data folder (a fixed table
    // of them, never through a link) and returns the bytes they took. Refused while the
    // instance runs. Blocks while it removes: the window calls it in the background.
    static qint64 clearCache(const SpaceInfo &space);

    // Starts the instance and returns at once; throws TandrelError when it cannot be
    // started. When it ends with an error moments later, onFailure hears why.
    void launchSpace(const SpaceInfo &space, const LaunchFailureHandler &onFailure = {});
    // Shows the launcher in the file manager.
    void revealSpace(const SpaceInfo &space);

    // Writes a new instance of target, signs it where its road signs, rescans and returns
    // the launcher's URL. All or nothing: the instance is built under temporary names and
    // its launcher put in place in one step that fails when the name is taken; a failure
    // removes what was written. Refusals throw TandrelError; file-system failures throw
    // FileSystemError. Blocks while the signing tools run.
    QUrl createSpace(const InstalledApp &target, const QString &name, Mode mode);
    // The same with the launch strategy chosen by the caller (the command line's --mode).
    QUrl createSpace(const InstalledApp &target, const QString &name, LaunchStrategy strategy);
    // The same in the background, so the window keeps answering: the refusals found without
    // writing are thrown at once and the launcher's URL to be is returned; once the instance
    // is written, signed and the instances rescanned, spaceCreated(launcher) follows on the
    // main thread, or spaceCreationFailed(launcher, message) with what went wrong.
    QUrl beginCreateSpace(const InstalledApp &target, const QString &name, Mode mode);

    // Gives the instance a new name: its launcher is written again under it (file name,
    // displayed names, record, badged icon) and replaces the old in one step, signed again
    // where launchers are signed; the id, mode and data stay. Refused as creating refuses
    // a name (blank, taken, too long, control characters). Returns the launcher. Main thread.
    QUrl renameSpace(const SpaceInfo &space, const QString &name);
    // Gives the instance another badge: its launcher and badged icon are written again the
    // same way and the entry replaced, so the desktop shows the new icon at once.
    QUrl setBadge(const SpaceInfo &space, const Badge &badge);

    // Writes the instance's record and whole data folder into one archive file (tar with
    // zstd), named in one step at the end. Refused while the instance runs, when its record
    // is incomplete and when the file exists. Blocks: off the main thread in the window.
    static void exportSpace(const SpaceInfo &space, const QString &file, const Transfer &transfer = {});
    // Makes a new instance from an exported one: a new id, the app found among those
    // installed here by its path or identifier, the launcher written as creating writes it
    // and the archive's data unpacked into the new data folder. Never writes over anything;
    // all or nothing. Named `name`, or as it was. Returns the launcher; the caller rescans.
    static QUrl importSpace(
        const QString &file, const std::optional<QString> &name, const Transfer &transfer = {});
    // A new instance of the same app with a copy of the instance's data; refused while it runs.
    static QUrl duplicateSpace(const SpaceInfo &space, const QString &name, const Transfer &transfer = {});
    // What an archive holds: the instance's name and its app's, for asking before importing.
    struct ArchiveFacts
    {
        QString name;
        QString appName;
    };
    static ArchiveFacts archiveFacts(const QString &file);
    // The name, or the first of "name 2", "name 3"… that no instance of the app has.
    static QString freeInstanceName(const QString &appName, const QString &name);

    // Where a link can open: an instance (key: its id) of an app that opens web links, or
    // such an app itself (key: its path), the browsers the desktop lists.
    struct LinkTarget
    {
        QString key;
        QString name;
        QString iconPath; // the launcher or the app, for its (badged) icon
        bool instance = false;
    };
    // Every target, those used last first, then instances, then apps, each by name. Reads
    // each instance's app: in the background with many.
    static QList<LinkTarget> linkTargets(const QList<SpaceInfo> &spaces);
    // The rules kept in the settings. Those for instances no longer among the spaces are
    // dropped, from the settings too.
    static QList<LinkRule> linkRules(const QList<SpaceInfo> &spaces);
    // Adds the rule, or replaces the one for the same site. The target must be among
    // linkTargets(spaces); refusals throw TandrelError.
    static void addLinkRule(const LinkRule &rule, const QList<SpaceInfo> &spaces);
    // False when there was no rule for the site.
    static bool removeLinkRule(const QString &site);
    // Where the rules send the link, when one matches and its target is still there.
    static std::optional<QString> routeFor(const QUrl &link, const QList<SpaceInfo> &spaces);
    // Opens the links in the target (an instance id among spaces(), or an app's path): an
    // instance through its own launch, so its data, flags and environment apply. Throws
    // TandrelError when the target is gone or takes no links. The target becomes the one
    // used last.
    void openLinks(
        const QString &target, const QStringList &links, const LaunchFailureHandler &onFailure = {});
    // The same for an instance: refused when its command takes no addresses.
    void openLinksInSpace(
        const SpaceInfo &space, const QStringList &links, const LaunchFailureHandler &onFailure = {});

    // Whether Tandrel is the desktop's handler of web links, so that they reach "route".
    static bool isLinkHandler();
    // Makes it so, remembering the handlers replaced; false when the desktop refused.
    // `program` is Tandrel's executable.
    static bool becomeLinkHandler(const QString &program);
    // Gives links back to the handlers remembered (Uninstall does this too).
    static void stopBeingLinkHandler();

    // The badge colour for an instance name; stable within one run.
    static QColor badgeColor(const QString &name);

    // Whether the app is sandboxed so that an instance would share its data: for a bundle,
    // its code signature carries the sandbox entitlement with a true Boolean or non-zero
    // number (any failure is false); for a desktop app, Flatpak or Snap runs it. Answers
    // are cached for the life of the process; callable from any thread.
    static bool isSandboxed(const QUrl &url);
    // The sandboxed ones among the apps, by path; any thread.
    static QSet<QString> detectSandboxed(const QList<InstalledApp> &apps);

    // What the app's road says of it for the mode: what the window and the command line
    // show, and what creation refuses.
    static AppFacts factsOf(const InstalledApp &app, Mode mode = Mode::Auto);
    static QString sandboxWarning(const InstalledApp &app);
    static QString sandboxTooltip(const InstalledApp &app);
    // Why the sandboxed apps among these are listed apart: each of their roads' reasons,
    // in the roads' order, a blank line between them (the first road's for no apps).
    static QString sandboxExplanation(const QList<InstalledApp> &sandboxedApps);
    // Every road's default folders, in the roads' order: "/Applications", then
    // "<home>/Applications", then the desktop's own folders where there are any.
    static QStringList defaultApplicationFolders();

    // Uninstalling: every road's places, in order, and everything Tandrel made in them.
    static QList<UninstallPlace> uninstallPlaces();
    static RemovalReport removeEverything();

    // How long create, delete and uninstall wait for another Tandrel's operation (see
    // OperationLock) before giving up with a message, and what is called once a wait passes
    // a few seconds. The window's default is short, as it waits on its main thread; the
    // command line waits longer and says that it waits. Creating from the window waits at
    // least backgroundPatience.
    static void setPatience(std::chrono::milliseconds patience, std::function<void()> waiting = {});
    static constexpr std::chrono::milliseconds backgroundPatience { 60000 };

Q_SIGNALS:
    void appsChanged();
    void spacesChanged();
    void sandboxedPathsChanged();
    void spaceCreated(const QUrl &wrapper);
    void spaceCreationFailed(const QUrl &wrapper, const QString &message);
    void runningChanged();
    void sizesChanged();

private:
    // The shared steps that write nothing: the name's and the road's refusals, the id and
    // the record.
    static SpaceRecord planSpace(const InstalledApp &target, const QString &name, Mode mode,
        std::optional<LaunchStrategy> forced = std::nullopt);
    // Under the operation lock: the road writes the instance under temporary names, which
    // are then put in place. Returns the launcher's path. Any thread.
    // `fill`, when given, adds to the staged data folder before anything is put in place.
    static QString buildSpace(const InstalledApp &target, const SpaceRecord &record,
        std::chrono::milliseconds patience, const std::function<void(const QString &stagedData)> &fill = {});
    // Under the lock, before an operation: finishes or removes what an interrupted one left
    // (Staging.h). Never fails.
    static void recoverInterrupted();
    // Writes the instance's launcher again with this name and badge (renameSpace, setBadge).
    QUrl rewriteSpace(const SpaceInfo &space, const QString &name, const std::optional<Badge> &badge);
    static std::chrono::milliseconds patience();
    static std::function<void()> lockWaiting();
    void setApps(QList<InstalledApp> apps);
    void setSpaces(QList<SpaceInfo> spaces);
    void setSandboxedPaths(QSet<QString> paths);

    // Keeps the roads' launcher folders watched (each, or while it is missing the nearest
    // folder above it that exists, to see it made), so that instances another Tandrel
    // makes or deletes show without a refresh.
    void watchInstances();
    // Rescans, signalling only a change: the folders watched change for other reasons too,
    // and rebuilt rows would lose the keyboard focus.
    void rescanSpaces();

    std::optional<QStringList> m_applicationFolders;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_rescan = nullptr;
    QTimer *m_runningTimer = nullptr;
    QHash<QString, QList<qint64>> m_running;
    quint64 m_runningGeneration = 0;
    QTimer *m_sizesTimer = nullptr;
    QHash<QString, qint64> m_sizes;
    quint64 m_sizesGeneration = 0;
    QList<InstalledApp> m_apps;
    QList<SpaceInfo> m_spaces;
    QSet<QString> m_sandboxedPaths;
    Detector m_detector;
    quint64 m_refreshGeneration = 0;
};

} // namespace tandrel
