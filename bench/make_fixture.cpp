// Writes benchmark fixtures into a new folder.
//
// tandrel-bench-fixture <folder> [instances, default 50]: the start-up fixture of
// bench_startup, for profiling the probe by hand: <folder>/apps holds the 1,000 apps,
// <folder>/home the instances; <folder>/config is for settings. Prints the command that
// runs the probe against it.
//
// tandrel-bench-fixture --detect <minimal|realistic|binary|large> <folder> [apps, default 1000]:
// apps for bench_detect_folder and detect_floor, each with a small thin signed arm64
// executable (every tenth sandboxed) and an Info.plist of five keys as XML (minimal), of 45
// keys as 16 KB of XML (realistic) or as 6 KB of binary (binary); large is realistic with an
// 80 MB fat (arm64 + x86_64) executable instead, sparse on disk.
#include "support/BenchSupport.h"
#include "support/FakeBundle.h"
#include "support/MachOBuilder.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <stdexcept>

using namespace tandrel::bench;

namespace {

int makeDetectionFixture(const QStringList &arguments)
{
    const QString kind = arguments.value(2);
    if (arguments.size() < 4
        || (kind != QLatin1String("minimal") && kind != QLatin1String("realistic")
            && kind != QLatin1String("binary") && kind != QLatin1String("large"))) {
        std::fprintf(stderr,
            "usage: tandrel-bench-fixture --detect <minimal|realistic|binary|large> <new folder> [apps]\n");
        return 2;
    }
    const QString root = QDir(arguments.at(3)).absolutePath();
    const int count = arguments.size() > 4 ? arguments.at(4).toInt() : 1000;
    if (QFileInfo::exists(root) || count <= 0) {
        std::fprintf(stderr, "%s exists, or no apps asked for; give a new folder\n", qPrintable(root));
        return 2;
    }
    QDir().mkpath(root);
    try {
        for (int i = 0; i < count; ++i) {
            tandrel::test::FakeBundleOptions bundle;
            bundle.identifier = QStringLiteral("io.example.app%1").arg(i);
            if (kind != QLatin1String("minimal"))
                bundle.extraKeys = tandrel::test::richInfoKeys(bundle.executable);
            bundle.binaryPlist = kind == QLatin1String("binary");
            tandrel::test::ThinOptions thin;
            thin.entitlements = realisticEntitlements(i % 10 == 0);
            thin.commandsBefore = 24; // real executables have a few dozen load commands
            const bool large = kind == QLatin1String("large");
            if (large)
                bundle.omitExecutable = true;
            else
                bundle.executableBytes = tandrel::test::buildThin(thin);
            const QString path = tandrel::test::makeFakeBundle(root, appName(i), bundle);
            if (large) {
                tandrel::test::ThinOptions intel = thin;
                intel.cpuType = tandrel::test::cpuX86_64;
                if (!tandrel::test::writeSparseFat(
                        path + QStringLiteral("/Contents/MacOS/") + bundle.executable, { thin, intel },
                        qint64(80) << 20))
                    throw std::runtime_error("sparse executable");
            }
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "could not write the fixture: %s\n", error.what());
        return 1;
    }
    std::printf("%d apps in %s\n", count, qPrintable(root));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // the badge's letter needs fonts
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.value(1) == QLatin1String("--detect"))
        return makeDetectionFixture(arguments);
    if (arguments.size() < 2) {
        std::fprintf(stderr,
            "usage: %s <new folder> [instances, default 50]\n"
            "       %s --detect <minimal|realistic|binary|large> <new folder> [apps, default 1000]\n",
            argv[0], argv[0]);
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
    makeInstances(
        root + QStringLiteral("/home/Applications/Tandrel"), instances, apps, realisticBadgedIcns());
    std::printf(
        "HOME=%s/home XDG_CONFIG_HOME=%s/config QT_QPA_PLATFORM=offscreen tandrel-startup-probe %s/apps\n",
        qPrintable(root), qPrintable(root), qPrintable(root));
    return 0;
}
