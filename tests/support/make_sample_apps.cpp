// Writes a set of sample app bundles into a folder so the whole flow can be tried on a
// machine without real macOS apps: tandrel-sample-apps [folder] (default ~/Applications).
#include "formats/MachOSignature.h"
#include "platform/FileSystem.h"
#include "support/FakeBundle.h"
#include "support/MachOBuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>

#include <cstdio>

using namespace tandrel;
using namespace tandrel::test;

namespace {

// Shows how it was started, on its output and in "<bundle>.launched" beside the bundle.
QByteArray showingScript(const QString &bundlePath)
{
    QString record = bundlePath + QStringLiteral(".launched");
    record.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QStringLiteral("#!/bin/bash\n"
                          "{\n"
                          "  echo \"Started $(date '+%Y-%m-%d %H:%M:%S')\"\n"
                          "  echo \"HOME=$HOME\"\n"
                          "  for argument in \"$@\"; do echo \"argument: $argument\"; done\n"
                          "  echo\n"
                          "} | tee -a '%1'\n")
        .arg(record)
        .toUtf8();
}

struct Sample
{
    QString name;
    QString identifier;
    BundleMarker marker = BundleMarker::None;
    bool sandboxed = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv); // the icons are drawn with QtGui
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::homePath() + QStringLiteral("/Applications");
    const QList<Sample> samples{
        {QStringLiteral("Sample Notes"), QStringLiteral("io.tandrel.sample.notes")},
        {QStringLiteral("Sample Browser"), QStringLiteral("com.vivaldi.Vivaldi.sample")},
        {QStringLiteral("Sample Chat"), QStringLiteral("io.tandrel.sample.chat"), BundleMarker::Electron},
        {QStringLiteral("Sample Mail"), QStringLiteral("io.tandrel.sample.mail"), BundleMarker::Xul},
        {QStringLiteral("Sample Store App"), QStringLiteral("io.tandrel.sample.store"), BundleMarker::None, true},
    };
    try {
        fs::createDirectory(folder);
        for (const Sample &sample : samples) {
            const QString path = folder + QLatin1Char('/') + sample.name + QStringLiteral(".app");
            if (fs::fileExists(path)) {
                std::printf("exists, left alone: %s\n", qPrintable(path));
                continue;
            }
            FakeBundleOptions options;
            options.executable = QStringLiteral("run");
            options.identifier = sample.identifier;
            options.marker = sample.marker;
            options.iconFile = QStringLiteral("icon");
            options.iconSizes = {16, 128, 512};
            if (sample.sandboxed) {
                ThinOptions thin;
                thin.cpuType = quint32(hostCpu());
                thin.entitlements = entitlementsXml(SandboxValue::True);
                options.executableBytes = buildThin(thin);
            } else {
                options.executableBytes = showingScript(path);
            }
            makeFakeBundle(folder, sample.name, options);
            std::printf("created %s\n", qPrintable(path));
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "tandrel-sample-apps: %s\n", error.what());
        return 1;
    }
    return 0;
}
