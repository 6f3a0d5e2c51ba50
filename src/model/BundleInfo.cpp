#include "model/BundleInfo.h"

#include "formats/PropertyList.h"

namespace tandrel {
namespace {

QString textValue(const QVariantMap &info, const char *key)
{
    const QVariant value = info.value(QLatin1String(key));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

} // namespace

bool hasControlCharacters(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || (u >= 0x7f && u <= 0x9f) || u == 0x2028 || u == 0x2029;
    });
}

bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !hasControlCharacters(name);
}

QString BundleInfo::executablePath(const QString &bundlePath) const
{
    return executable.isEmpty() ? QString() : bundlePath + QStringLiteral("/Contents/MacOS/") + executable;
}

std::optional<BundleInfo> readBundleInfo(const QString &bundlePath)
{
    const std::optional<QVariantMap> info = readPropertyListFile(bundlePath + QStringLiteral("/Contents/Info.plist"));
    if (!info)
        return std::nullopt;
    BundleInfo bundle;
    const QString executable = textValue(*info, "CFBundleExecutable");
    if (isPlainFileName(executable))
        bundle.executable = executable;
    bundle.identifier = textValue(*info, "CFBundleIdentifier");
    const QString iconFile = textValue(*info, "CFBundleIconFile");
    if (isPlainFileName(iconFile))
        bundle.iconFile = iconFile;
    return bundle;
}

} // namespace tandrel
