#pragma once

#include "model/InstalledApp.h"
#include "model/Mode.h"
#include "model/SpaceInfo.h"

#include <QList>
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
    // "/Applications", then "<home>/Applications".
    static QStringList defaultApplicationFolders();

Q_SIGNALS:
    void appsChanged();
    void spacesChanged();
    void sandboxedPathsChanged();

private:
    void setApps(QList<InstalledApp> apps);
    void setSpaces(QList<SpaceInfo> spaces);
    void setSandboxedPaths(QSet<QString> paths);

    std::optional<QStringList> m_applicationFolders;
    QList<InstalledApp> m_apps;
    QList<SpaceInfo> m_spaces;
    QSet<QString> m_sandboxedPaths;
};

} // namespace tandrel
