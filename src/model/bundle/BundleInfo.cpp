#include "model/bundle/BundleInfo.h"

#include "formats/PlistScan.h"
#include "formats/PropertyList.h"
#include "formats/SmallFile.h"
#include "model/InstalledApp.h"

#include <QFile>

#include <cerrno>

namespace tandrel {
namespace {

const QLatin1StringView executableKey("CFBundleExecutable");
const QLatin1StringView identifierKey("CFBundleIdentifier");
const QLatin1StringView iconKey("CFBundleIconFile");

} // namespace

bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !hasControlCharacters(name);
}

QString BundleInfo::executablePath(const QString &bundlePath) const
{
    return executable.isEmpty() ? QString() : bundlePath + QStringLiteral("/Contents/MacOS/") + executable;
}

std::optional<BundleInfo> readBundleInfo(const QString &bundlePath, bool *notAFolder)
{
    // Read for every app at every refresh, from the background: one buffer per thread.
    thread_local QByteArray bytes;
    const int error
        = readSmallFile(QFile::encodeName(bundlePath + QStringLiteral("/Contents/Info.plist")).constData(),
            maxPropertyListSize, bytes);
    if (notAFolder)
        *notAFolder = error == ENOTDIR;
    if (error != 0)
        return std::nullopt;
    const std::optional<PlistTopLevel> info = readTopLevel(bytes, { executableKey, identifierKey, iconKey });
    if (!info)
        return std::nullopt;
    BundleInfo bundle;
    const QString executable = info->string(executableKey).value_or(QString());
    if (isPlainFileName(executable))
        bundle.executable = executable;
    bundle.identifier = info->string(identifierKey).value_or(QString());
    const QString iconFile = info->string(iconKey).value_or(QString());
    if (isPlainFileName(iconFile))
        bundle.iconFile = iconFile;
    return bundle;
}

} // namespace tandrel
