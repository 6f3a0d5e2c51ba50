#pragma once

#include <QImage>
#include <QString>
#include <QVariantMap>

#include <optional>

class QDialog;
class QWidget;

namespace tandrel {

// What the About panel shows.
struct AboutInfo
{
    QString name;      // always "Tandrel"
    QString version;   // CFBundleShortVersionString, else the version this build defines
    QString build;     // CFBundleVersion, else the build number this build defines
    QImage icon;       // the bundle's "icon.icns"; null leaves the platform's default
    QString credits;   // two lines, in the language in force
};

// Builds the panel's content from the running bundle's information dictionary (none
// outside a macOS bundle) and the icon file; missing or non-text values fall back.
AboutInfo aboutInfo(const std::optional<QVariantMap> &infoDictionary, const QString &iconPath);
// The same for the running application.
AboutInfo currentAboutInfo();

// A small dialog with the icon, the name, the version and build, and the centred,
// dimmed credits. It deletes itself when closed.
QDialog *makeAboutDialog(const AboutInfo &info, QWidget *parent = nullptr);

} // namespace tandrel
