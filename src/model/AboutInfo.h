#pragma once

#include <QImage>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace tandrel {

// What the About panel shows.
struct AboutInfo
{
    QString name; // always "Tandrel"
    QString version; // CFBundleShortVersionString, else the version this build defines
    QString build; // CFBundleVersion, else the build number this build defines
    QImage icon; // the bundle's "icon.icns"; null leaves the platform's default
    QString credits; // two lines, in the language in force
};

// The version and build number this build defines, the fallbacks of the panel.
QString builtVersion();
QString builtBuildNumber();

// Builds the panel's content from the running bundle's information dictionary (none
// outside a macOS bundle) and the icon file; missing or non-text values fall back.
AboutInfo aboutInfo(const std::optional<QVariantMap> &infoDictionary, const QString &iconPath);
// The same for the running application; outside a bundle the icon is `fallbackIcon`.
AboutInfo currentAboutInfo(const QImage &fallbackIcon);

} // namespace tandrel
