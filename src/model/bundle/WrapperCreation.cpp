#include "model/bundle/BundleRoad.h"

#include "model/Refusals.h"
#include "model/Store.h"
#include "model/bundle/BundleIcon.h"
#include "model/bundle/BundleInfo.h"
#include "model/bundle/ToolRunner.h"
#include "model/bundle/WrapperTemplates.h"
#include "platform/FileSystem.h"

namespace tandrel {

QString BundleRoad::instancesFolder() const
{
    return Store::spacesDir();
}

QString BundleRoad::launcherPath(const InstalledApp &target, const SpaceRecord &record) const
{
    return Store::spacesDir() + QLatin1Char('/') + target.name() + QStringLiteral(" - ") + record.name
        + QStringLiteral(".app");
}

void BundleRoad::writeInstance(const InstalledApp &target, const SpaceRecord &record,
    const QString &stagedLauncher, const QString &stagedData) const
{
    const std::optional<BundleInfo> info = readBundleInfo(target.id());
    if (!info || info->executable.isEmpty())
        throw unreadableAppError();

    const QString macOS = stagedLauncher + QStringLiteral("/Contents/MacOS");
    const QString resources = stagedLauncher + QStringLiteral("/Contents/Resources");
    fs::createDirectory(macOS);
    fs::createDirectory(resources);
    fs::createDirectory(stagedData);

    try {
        writeBadgedIcon(target, record.name, resources + QStringLiteral("/app.icns"), record.badge);
    } catch (const std::exception &) {
        // The wrapper works without its own icon.
    }

    const QString displayName = target.name() + QStringLiteral(" - ") + record.name;
    fs::writeBytes(stagedLauncher + QStringLiteral("/Contents/Info.plist"),
        infoPlistText(displayName, record.id).toUtf8());
    const QString launcher = macOS + QStringLiteral("/launcher");
    fs::writeBytes(launcher,
        launcherScript(record.mode, { record.dataDir, Store::home(), target.id(), info->executable })
            .toUtf8());
    fs::setPosixPermissions(launcher, 0755);
    fs::writeBytes(resources + QStringLiteral("/space.json"), record.toJson());
}

void BundleRoad::finishInstance(const QString &launcher) const
{
    runTool(QStringLiteral("/usr/bin/codesign"),
        { QStringLiteral("--force"), QStringLiteral("--deep"), QStringLiteral("--sign"), QStringLiteral("-"),
            launcher });
    runTool(QStringLiteral("/usr/bin/xattr"),
        { QStringLiteral("-dr"), QStringLiteral("com.apple.quarantine"), launcher });
}

} // namespace tandrel
