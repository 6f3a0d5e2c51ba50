#pragma once

#include "model/Road.h"

namespace tandrel {

// The apps of a freedesktop desktop (Linux), read from their desktop entries through GIO:
// an instance is an entry "tandrel-<id>.desktop" beside the user's own entries, so menus
// and docks list it, with its data, record and badged icon in "<data home>/tandrel/<id>".
// Flatpak and Snap apps are refused: their sandbox decides where their data goes.
// Instances of earlier releases keep their data in "<home>/Library/Application
// Support/Tandrel/<id>", where it stays: they are listed, opened and deleted as they are.
class DesktopRoad final : public Road
{
public:
    bool owns(const QString &path) const override;
    QStringList defaultFolders() const override;
    QList<InstalledApp> listApps(const QStringList &folders) const override;
    std::optional<InstalledApp> appAt(const QString &path) const override;
    bool isSandboxed(const QString &appPath) const override;
    AppFacts factsOf(const InstalledApp &app, Mode mode) const override;
    QString sandboxWarning(const InstalledApp &app) const override;
    QString sandboxTooltip(const InstalledApp &app) const override;
    QString sandboxExplanation() const override;
    QImage icon(const QString &path) const override;
    // "<data home>/tandrel".
    QString dataRoot() const override;
    // dataRoot(), then the root of earlier releases.
    QStringList dataRoots() const override;
    QString instancesFolder() const override;
    QString launcherPath(const InstalledApp &target, const SpaceRecord &record) const override;
    void writeInstance(const InstalledApp &target, const SpaceRecord &record, const QString &stagedLauncher,
        const QString &stagedData) const override;
    void finishInstance(const QString &launcher) const override;
    QList<SpaceInfo> scanInstances() const override;
    std::optional<QString> carriedId(const QString &launcher) const override;
    bool withdrawLauncher(
        const SpaceInfo &space, const QString &staged, RemovalReport &report) const override;
    // Every instance entry, Tandrel's own entry and icons where an install for this user
    // put them (at their exact paths, real files only), and the data root's instances.
    void removeAll(RemovalReport &report) const override;
    void launch(const SpaceInfo &space, const QStringList &links,
        const LaunchFailureHandler &onFailure) const override;
    bool opensLinks(const InstalledApp &app) const override;
    QList<InstalledApp> linkApps() const override;
    void openLinksInApp(const InstalledApp &app, const QStringList &links) const override;
    QList<UninstallPlace> uninstallPlaces() const override;
};

} // namespace tandrel
