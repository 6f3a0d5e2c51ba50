#pragma once

#include "model/Road.h"

namespace tandrel {

struct BundleInfo;

// Application bundles, on every platform: apps are "<name>.app" folders in the application
// folders; an instance is a wrapper bundle "<app> - <name>.app" in Store::spacesDir(),
// holding its launcher script, badged icon and record, with its data in
// "<Store::dataRoot()>/<id>". On macOS the wrapper is signed.
class BundleRoad final : public Road
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
    QString dataRoot() const override;
    QString instancesFolder() const override;
    QString launcherPath(const InstalledApp &target, const SpaceRecord &record) const override;
    void writeInstance(const InstalledApp &target, const SpaceRecord &record, const QString &stagedLauncher,
        const QString &stagedData) const override;
    void finishInstance(const QString &launcher) const override;
    QList<SpaceInfo> scanInstances() const override;
    std::optional<QString> carriedId(const QString &launcher) const override;
    bool withdrawLauncher(
        const SpaceInfo &space, const QString &staged, RemovalReport &report) const override;
    void removeAll(RemovalReport &report) const override;
    void launch(const SpaceInfo &space, const QStringList &links,
        const LaunchFailureHandler &onFailure) const override;
    bool opensLinks(const InstalledApp &app) const override;
    QList<InstalledApp> linkApps() const override;
    void openLinksInApp(const InstalledApp &app, const QStringList &links) const override;
    QList<UninstallPlace> uninstallPlaces() const override;
};

// The strategy for a bundle whose Info.plist says `info`, from its identifier and the
// files in `contents` (its Contents folder), by the family table: Home mode is always
// the isolated HOME.
LaunchStrategy bundleStrategy(Mode mode, const QString &contents, const BundleInfo &info);

} // namespace tandrel
