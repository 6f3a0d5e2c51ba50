#pragma once

#include "model/BundleInfo.h"
#include "model/InstalledApp.h"
#include "model/LaunchStrategy.h"
#include "model/Mode.h"
#include "model/Removal.h"
#include "model/SpaceInfo.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

namespace tandrel {

// The observable model of one window: the installed apps, the instances and the
// set of sandboxed apps. Lists are replaced whole; each replacement is signalled.
// Lives on the main thread.
class Store : public QObject
{
    Q_OBJECT
public:
    using Mode = tandrel::Mode;
    // Tells which of the apps are sandboxed; runs on a background thread.
    using Detector = std::function<QSet<QString>(const QList<InstalledApp> &apps)>;

    // Whether the constructor runs the first refresh (the window) or leaves the lists
    // empty until asked (the command line, which reads only what a command needs).
    enum class Start { Refresh, Idle };

    // applicationFolders replaces the folders searched for apps (tests pass temporary ones);
    // without it, "/Applications" and then "<home>/Applications", with home asked at each use.
    explicit Store(std::optional<QStringList> applicationFolders = std::nullopt,
                   QObject *parent = nullptr, Start start = Start::Refresh);

    const QList<InstalledApp> &apps() const { return m_apps; }
    const QList<SpaceInfo> &spaces() const { return m_spaces; }
    const QSet<QString> &sandboxedPaths() const { return m_sandboxedPaths; }

    // The user's home folder, asked afresh: throws TandrelError when HOME is unset, empty,
    // relative or the root, rather than putting anything in the wrong place.
    static QString home();
    // "<home>/Applications/Tandrel": one wrapper bundle per instance. Throws as home() does.
    static QString spacesDir();
    // "<home>/Library/Application Support/Tandrel": one data folder per instance.
    static QString dataRoot();
    // The folders searched for apps: those given at construction, else the defaults.
    QStringList applicationFolders() const;
    void setApplicationFolders(std::optional<QStringList> folders);

    // Lists the apps of both folders, rescans the instances and starts the background
    // sandbox check, whose answer arrives later as sandboxedPaths. The answer of an
    // older refresh never replaces a newer one's.
    void refresh();
    // The apps of the folders, in order, without Tandrel itself, sorted by name.
    static QList<InstalledApp> listApps(const QStringList &folders);
    // Replaces the background sandbox check (tests); empty restores the real one.
    void setDetector(Detector detector);

    // Rebuilds spaces from the wrappers in spacesDir. Never fails.
    void scanSpaces();
    // Removes the wrapper and then, only when that succeeded, the data folder, both under
    // the rules of Removal.h; then rescans. The report lists what was left and why.
    RemovalReport deleteSpace(const SpaceInfo &space);
    // Opens the wrapper as an application and returns at once.
    void launchSpace(const SpaceInfo &space);
    // Shows the wrapper in the file manager.
    void revealSpace(const SpaceInfo &space);

    // Writes a new instance of target, signs it, rescans and returns the wrapper's URL.
    // Refusals throw TandrelError; file-system failures throw FileSystemError and leave
    // what was written. Blocks while the signing tools run.
    QUrl createSpace(const InstalledApp &target, const QString &name, Mode mode);
    // The same with the launch strategy chosen by the caller (the command line's --mode).
    QUrl createSpace(const InstalledApp &target, const QString &name, LaunchStrategy strategy);
    // The strategy creation would pick for the app in this mode, or nothing when its
    // Info.plist cannot be read.
    static std::optional<LaunchStrategy> strategyFor(const InstalledApp &target, Mode mode);
    // The same, with the signing tools run in the background so the window keeps
    // answering: refusals and file-system failures are thrown at once, and the wrapper's
    // URL is returned; spaceCreated(wrapper) follows on the main thread once it is signed
    // and the instances are rescanned.
    QUrl beginCreateSpace(const InstalledApp &target, const QString &name, Mode mode);

    // The badge colour for an instance name; stable within one run.
    static QColor badgeColor(const QString &name);

    // Whether the app's code signature carries the sandbox entitlement with a true
    // Boolean or non-zero number. Any failure is false. Answers are cached for the
    // life of the process; callable from any thread.
    static bool isSandboxed(const QUrl &url);
    // The same for a bundle whose Info.plist the caller has read already.
    static bool isSandboxed(const QUrl &url, const BundleInfo &info);
    // The sandboxed ones among the apps, by path; any thread.
    static QSet<QString> detectSandboxed(const QList<InstalledApp> &apps);

    // What the command line shows of an app, from one read of its Info.plist.
    struct AppFacts
    {
        QString bundleIdentifier;
        bool sandboxed = false;
        // What creation in Auto mode would pick; nothing for an unreadable or sandboxed app.
        std::optional<LaunchStrategy> strategy;
    };
    static AppFacts factsOf(const InstalledApp &app);
    // "/Applications", then "<home>/Applications".
    static QStringList defaultApplicationFolders();

Q_SIGNALS:
    void appsChanged();
    void spacesChanged();
    void sandboxedPathsChanged();
    void spaceCreated(const QUrl &wrapper);

private:
    // Steps up to the instance record: refusals and file-system errors are thrown.
    QUrl writeSpace(const InstalledApp &target, const QString &name, Mode mode,
                    std::optional<LaunchStrategy> forced = std::nullopt);
    // Signs the wrapper and clears its quarantine attribute; any thread, never fails.
    static void signWrapper(const QString &wrapper);
    static void runTool(const QString &path, const QStringList &arguments);
    static bool sandboxAnswer(const QUrl &url, const BundleInfo *info);
    void setApps(QList<InstalledApp> apps);
    void setSpaces(QList<SpaceInfo> spaces);
    void setSandboxedPaths(QSet<QString> paths);

    std::optional<QStringList> m_applicationFolders;
    QList<InstalledApp> m_apps;
    QList<SpaceInfo> m_spaces;
    QSet<QString> m_sandboxedPaths;
    Detector m_detector;
    quint64 m_refreshGeneration = 0;
};

} // namespace tandrel
