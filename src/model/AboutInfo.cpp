#include "model/AboutInfo.h"

#include "formats/Icns.h"
#include "formats/PropertyList.h"
#include "l10n/Tr.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace tandrel {
namespace {

QString textOr(const std::optional<QVariantMap> &dictionary, const QString &key, const QString &fallback)
{
    if (!dictionary)
        return fallback;
    const QVariant value = dictionary->value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : fallback;
}

// Contents/ of the running macOS bundle, or empty outside one.
QString bundleContents()
{
    const QDir macOS(QCoreApplication::applicationDirPath());
    if (macOS.dirName() != QLatin1String("MacOS"))
        return {};
    return QFileInfo(macOS.absolutePath() + QStringLiteral("/..")).canonicalFilePath();
}

} // namespace

QString builtVersion()
{
    return QStringLiteral(TANDREL_VERSION);
}

QString builtBuildNumber()
{
    return QStringLiteral(TANDREL_BUILD);
}

AboutInfo aboutInfo(const std::optional<QVariantMap> &infoDictionary, const QString &iconPath)
{
    AboutInfo info;
    info.name = QStringLiteral("Tandrel");
    info.version = textOr(infoDictionary, QStringLiteral("CFBundleShortVersionString"), builtVersion());
    info.build = textOr(infoDictionary, QStringLiteral("CFBundleVersion"), builtBuildNumber());
    if (!iconPath.isEmpty())
        info.icon = readLargestIcnsImageFile(iconPath);
    info.credits
        = tandrel::tr(QStringLiteral("Tandrel\nCiudad: Morvale"), QStringLiteral("Tandrel\nCity: Morvale"));
    return info;
}

AboutInfo currentAboutInfo(const QImage &fallbackIcon)
{
    const QString contents = bundleContents();
    if (contents.isEmpty()) {
        // Not in a bundle: the icon compiled into the app stands in for the bundle's.
        AboutInfo info = aboutInfo(std::nullopt, QString());
        info.icon = fallbackIcon;
        return info;
    }
    return aboutInfo(readPropertyListFile(contents + QStringLiteral("/Info.plist")),
        contents + QStringLiteral("/Resources/icon.icns"));
}

} // namespace tandrel
