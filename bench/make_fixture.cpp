// Writes the start-up fixture of bench_startup into a folder, for profiling the probe by
// hand: <folder>/apps holds the 1,000 apps, <folder>/home the instances; <folder>/config
// is for settings. Prints the command that runs the probe against it.
#include "support/BenchSupport.h"

#include <QGuiApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

using namespace tandrel::bench;

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // the badge's letter needs fonts
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: %s <new folder> [instances, default 50]\n", argv[0]);
        return 2;
    }
    const QString root = QDir(arguments.at(1)).absolutePath();
    const int instances = arguments.size() > 2 ? arguments.at(2).toInt() : 50;
    if (QFileInfo::exists(root)) {
        std::fprintf(stderr, "%s exists; give a new folder\n", qPrintable(root));
        return 2;
    }
    QDir().mkpath(root + QStringLiteral("/config"));
    // The instances' data folders are named below the fixture's home, never the real one.
    qputenv("HOME", QFile::encodeName(root + QStringLiteral("/home")));
    const QString icon = root + QStringLiteral("/AppIcon.icns");
    QFile file(icon);
    if (!file.open(QIODevice::WriteOnly) || file.write(realisticIcns()) <= 0)
        return 1;
    file.close();
    AppsOptions options;
    options.sharedIconFile = icon;
    const QStringList apps = makeApps(root + QStringLiteral("/apps"), options);
    makeInstances(root + QStringLiteral("/home/Applications/Tandrel"), instances, apps, realisticBadgedIcns());
    std::printf("HOME=%s/home XDG_CONFIG_HOME=%s/config QT_QPA_PLATFORM=offscreen tandrel-startup-probe %s/apps\n",
                qPrintable(root), qPrintable(root), qPrintable(root));
    return 0;
}
