// Writes a set of sample app bundles into a folder so the whole flow can be tried on a
// machine without real macOS apps: tandrel-sample-apps [folder] (default ~/Applications).
#include "formats/Icns.h"
#include "formats/MachOSignature.h"
#include "platform/FileSystem.h"
#include "support/FakeBundle.h"
#include "support/MachOBuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>

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
    QColor color;
    BundleMarker marker = BundleMarker::None;
    bool sandboxed = false;
};

// A rounded tile in the sample's colour with a glyph, at the sizes an icon family holds.
QByteArray sampleIcon(const Sample &sample)
{
    QList<QImage> images;
    for (const int size : { 128, 256, 512 }) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        const qreal inset = size * 0.1;
        const QRectF tile(inset, inset, size - 2 * inset, size - 2 * inset);
        QLinearGradient gradient(tile.topLeft(), tile.bottomLeft());
        gradient.setColorAt(0, sample.color.lighter(125));
        gradient.setColorAt(1, sample.color.darker(110));
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        painter.drawRoundedRect(tile, size * 0.18, size * 0.18);
        QFont font(QStringLiteral("sans-serif"));
        font.setPixelSize(int(size * 0.42));
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(tile, Qt::AlignCenter, sample.name.mid(7, 1));
        painter.end();
        images.append(image);
    }
    return icnsFromImages(images);
}

} // namespace

int main(int argc, char *argv[])
{
    // The icons are drawn with QtGui, which needs no display for that.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder
        = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::homePath() + QStringLiteral("/Applications");
    const QList<Sample> samples {
        { QStringLiteral("Sample Notes"), QStringLiteral("io.tandrel.sample.notes"), QColor(245, 176, 39) },
        { QStringLiteral("Sample Browser"), QStringLiteral("com.vivaldi.Vivaldi.sample"),
            QColor(41, 128, 230) },
        { QStringLiteral("Sample Chat"), QStringLiteral("io.tandrel.sample.chat"), QColor(88, 86, 214),
            BundleMarker::Electron },
        { QStringLiteral("Sample Mail"), QStringLiteral("io.tandrel.sample.mail"), QColor(230, 80, 60),
            BundleMarker::Xul },
        { QStringLiteral("Sample Store App"), QStringLiteral("io.tandrel.sample.store"), QColor(52, 170, 90),
            BundleMarker::None, true },
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
            options.iconBytes = sampleIcon(sample);
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
