#pragma once

#include "model/InstalledApp.h"
#include "model/Mode.h"
#include "model/SpaceInfo.h"

#include <QColor>
#include <QList>
#include <QUrl>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

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

    // applicationFolders replaces the folders searched for apps (tests pass temporary ones);
    // without it, "/Applications" and then "<home>/Applications", with home asked at each use.
    explicit Store(std::optional<QStringList> applicationFolders = std::nullopt,
                   QObject *parent = nullptr);

    const QList<InstalledApp> &apps() const { return m_apps; }
    const QList<SpaceInfo> &spaces() const { return m_spaces; }
    const QSet<QString> &sandboxedPaths() const { return m_sandboxedPaths; }

    // "<home>/Applications/Tandrel": one wrapper bundle per instance.
    static QString spacesDir();
    // "<home>/Library/Application Support/Tandrel": one data folder per instance.
    static QString dataRoot();
    // The folders searched for apps: those given at construction, else the defaults.
    QStringList applicationFolders() const;

    // Lists the apps of both folders, rescans the instances and starts the background
    // sandbox check, whose answer arrives later as sandboxedPaths.
    void refresh();

    // Rebuilds spaces from the wrappers in spacesDir. Never fails.
    void scanSpaces();
    // Removes the wrapper and, when it lies inside dataRoot, the data folder; then rescans.
    void deleteSpace(const SpaceInfo &space);
    // Opens the wrapper as an application and returns at once.
    void launchSpace(const SpaceInfo &space);

    // Writes a new instance of target and returns the wrapper's URL. Refusals throw
    // TandrelError; file-system failures throw FileSystemError and leave what was written.
    QUrl createSpace(const InstalledApp &target, const QString &name, Mode mode);

    // The badge colour for an instance name; stable within one run.
    static QColor badgeColor(const QString &name);

    // Whether the app's code signature carries the sandbox entitlement with a true
    // Boolean or non-zero number. Any failure is false. Answers are cached for the
    // life of the process; callable from any thread.
    static bool isSandboxed(const QUrl &url);
    // "/Applications", then "<home>/Applications".
    static QStringList defaultApplicationFolders();

Q_SIGNALS:
    void appsChanged();
    void spacesChanged();
    void sandboxedPathsChanged();

private:
    void runTool(const QString &path, const QStringList &arguments);
    void setApps(QList<InstalledApp> apps);
    void setSpaces(QList<SpaceInfo> spaces);
    void setSandboxedPaths(QSet<QString> paths);

    std::optional<QStringList> m_applicationFolders;
    QList<InstalledApp> m_apps;
    QList<SpaceInfo> m_spaces;
    QSet<QString> m_sandboxedPaths;
};

} // namespace tandrel
