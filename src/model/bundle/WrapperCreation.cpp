#include "model/bundle/BundleRoad.h"

#include "model/Refusals.h"
#include "model/Store.h"
#include "model/bundle/BundleIcon.h"
#include "model/bundle/BundleInfo.h"
#include "model/bundle/ToolRunner.h"
#include "model/bundle/WrapperTemplates.h"
#include "platform/FileSystem.h"

namespace tandrel {

QString BundleRoad::writeInstance(const InstalledApp &target, const SpaceRecord &record) const
{
    const std::optional<BundleInfo> info = readBundleInfo(target.id());
    if (!info || info->executable.isEmpty())
        throw unreadableAppError();
    const QString displayName = target.name() + QStringLiteral(" - ") + record.name;
    const QString wrapper = Store::spacesDir() + QLatin1Char('/') + displayName + QStringLiteral(".app");
    if (fs::fileExists(wrapper))
        throw existingNameError();

    // From here on failures are the file system's own and nothing is rolled back.
    const QString macOS = wrapper + QStringLiteral("/Contents/MacOS");
    const QString resources = wrapper + QStringLiteral("/Contents/Resources");
    fs::createDirectory(macOS);
    fs::createDirectory(resources);
    fs::createDirectory(record.dataDir);

    try {
        writeBadgedIcon(target, record.name, resources + QStringLiteral("/app.icns"));
    } catch (const std::exception &) {
        // The wrapper works without its own icon.
    }

    fs::writeTextAtomically(
        wrapper + QStringLiteral("/Contents/Info.plist"), infoPlistText(displayName, record.id));

    const QString launcher = macOS + QStringLiteral("/launcher");
    fs::writeTextAtomically(launcher,
        launcherScript(record.mode, { record.dataDir, Store::home(), target.id(), info->executable }));
    fs::setPosixPermissions(launcher, 0755);

    fs::writeBytes(resources + QStringLiteral("/space.json"), record.toJson());
    return wrapper;
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
