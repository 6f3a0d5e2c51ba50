#include "support/BenchSupport.h"

#include "formats/Icns.h"
#include "formats/MachOSignature.h"
#include "model/BadgedIcon.h"
#include "model/SpaceRecord.h"
#include "model/bundle/WrapperTemplates.h"
#include "platform/FileSystem.h"
#include "support/FakeBundle.h"
#include "support/MachOBuilder.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace tandrel::bench {
namespace {

[[noreturn]] void fixtureFailed(const char *what)
{
    std::fprintf(stderr, "bench: could not write the fixture: %s\n", what);
    std::abort();
}

} // namespace

int runBenchmarks(int argc, char **argv)
{
    test::isolateEnvironment();
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("TandrelBench"));
    QApplication::setApplicationName(QStringLiteral("TandrelBench"));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

QString appName(int index)
{
    static const char *const first[] = { "Photo", "Note", "Mail", "Code", "Music", "Map", "Chat", "Task",
        "Cloud", "Book", "Video", "Draw", "Sound", "Data", "Web", "Pixel" };
    static const char *const second[] = { "Studio", "Keeper", "Flow", "Desk", "Box", "Forge", "Lab", "Hub",
        "Works", "Pad", "Deck", "Sync", "Vault", "View", "Craft", "Shelf" };
    const int a = index % 16;
    const int b = (index / 16) % 16;
    QString name = QLatin1String(first[a]) + QLatin1Char(' ') + QLatin1String(second[b]);
    if (index >= 256)
        name += QLatin1Char(' ') + QString::number(index / 256 + 1);
    return name;
}

QVariantMap realisticInfoKeys(int index)
{
    const QString name = appName(index);
    const auto text = [](const char *value) { return QString::fromLatin1(value); };
    QVariantMap keys {
        { text("CFBundleDevelopmentRegion"), text("en") },
        { text("CFBundleDisplayName"), name },
        { text("CFBundleInfoDictionaryVersion"), text("6.0") },
        { text("CFBundleShortVersionString"), text("4.12.3") },
        { text("CFBundleVersion"), QString::number(41203 + index) },
        { text("CFBundleSignature"), text("????") },
        { text("LSMinimumSystemVersion"), text("11.0") },
        { text("LSApplicationCategoryType"), text("public.app-category.productivity") },
        { text("NSHumanReadableCopyright"),
            text("Copyright © 2024 Example Software Ltd. All rights reserved.") },
        { text("NSPrincipalClass"), text("NSApplication") },
        { text("NSMainNibFile"), text("MainMenu") },
        { text("NSHighResolutionCapable"), true },
        { text("NSSupportsAutomaticGraphicsSwitching"), true },
        { text("NSCameraUsageDescription"), text("The camera is used for video calls.") },
        { text("NSMicrophoneUsageDescription"), text("The microphone is used for calls and voice notes.") },
        { text("DTCompiler"), text("com.apple.compilers.llvm.clang.1_0") },
        { text("DTPlatformBuild"), text("23C53") },
        { text("DTSDKName"), text("macosx14.2") },
        { text("DTXcode"), text("1520") },
        { text("BuildMachineOSBuild"), text("23C71") },
        { text("SUFeedURL"), text("https://updates.example.com/appcast.xml") },
    };
    keys.insert(text("CFBundleURLTypes"),
        QVariantList { QVariantMap { { text("CFBundleURLName"), text("io.example.link") },
            { text("CFBundleURLSchemes"), QVariantList { text("example"), text("ex") } } } });
    QVariantList documents;
    for (const char *type : { "public.plain-text", "public.rtf", "net.daringfireball.markdown" }) {
        documents.append(QVariantMap { { text("CFBundleTypeName"), text(type) },
            { text("CFBundleTypeRole"), text("Editor") }, { text("LSHandlerRank"), text("Alternate") },
            { text("LSItemContentTypes"), QVariantList { text(type) } } });
    }
    keys.insert(text("CFBundleDocumentTypes"), documents);
    keys.insert(text("NSAppTransportSecurity"), QVariantMap { { text("NSAllowsArbitraryLoads"), false } });
    return keys;
}

QByteArray realisticEntitlements(bool sandboxed)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                     "<plist version=\"1.0\">\n<dict>\n";
    xml += "\t<key>com.apple.application-identifier</key>\n\t<string>ABCDE12345.io.example.app</string>\n";
    xml += "\t<key>com.apple.developer.team-identifier</key>\n\t<string>ABCDE12345</string>\n";
    xml += "\t<key>com.apple.security.app-sandbox</key>\n\t";
    xml += sandboxed ? "<true/>\n" : "<false/>\n";
    for (const char *key : { "com.apple.security.network.client", "com.apple.security.network.server",
             "com.apple.security.files.user-selected.read-write",
             "com.apple.security.files.downloads.read-write", "com.apple.security.device.camera",
             "com.apple.security.device.audio-input", "com.apple.security.print",
             "com.apple.security.cs.allow-jit" })
        xml += "\t<key>" + QByteArray(key) + "</key>\n\t<true/>\n";
    xml += "\t<key>com.apple.security.application-groups</key>\n\t<array>\n"
           "\t\t<string>ABCDE12345.io.example.shared</string>\n\t</array>\n";
    xml += "\t<key>keychain-access-groups</key>\n\t<array>\n"
           "\t\t<string>ABCDE12345.io.example.app</string>\n\t</array>\n";
    xml += "</dict>\n</plist>\n";
    return xml;
}

QImage realisticIconImage(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 1024.0, side / 1024.0);
    const QRectF tile(100, 100, 824, 824);
    QLinearGradient fill(tile.topLeft(), tile.bottomRight());
    fill.setColorAt(0, QColor(0x3A, 0x7B, 0xD5));
    fill.setColorAt(1, QColor(0x8E, 0x2D, 0xE2));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(tile, 185, 185);
    QRadialGradient glow(QPointF(420, 380), 360);
    glow.setColorAt(0, QColor(255, 255, 255, 200));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setBrush(glow);
    painter.drawEllipse(QPointF(512, 512), 300, 300);
    painter.setBrush(QColor(255, 200, 40, 220));
    QPainterPath star;
    star.moveTo(512, 260);
    star.lineTo(580, 450);
    star.lineTo(770, 450);
    star.lineTo(620, 560);
    star.lineTo(680, 750);
    star.lineTo(512, 640);
    star.lineTo(344, 750);
    star.lineTo(404, 560);
    star.lineTo(254, 450);
    star.lineTo(444, 450);
    star.closeSubpath();
    painter.drawPath(star);
    painter.end();
    // Grain, as rendered artwork has: it is what makes real icons cost to compress.
    QRandomGenerator random(42);
    for (int y = 0; y < side; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < side; ++x) {
            const int alpha = qAlpha(line[x]);
            if (alpha == 0)
                continue;
            const int noise = int(random.bounded(9)) - 4;
            const auto channel = [&](int value) { return std::clamp(value + noise, 0, alpha); };
            line[x] = qRgba(channel(qRed(line[x])), channel(qGreen(line[x])), channel(qBlue(line[x])), alpha);
        }
    }
    return image;
}

QByteArray realisticIcns()
{
    const QImage large = realisticIconImage(1024);
    QList<QImage> images;
    for (int side : { 16, 32, 64, 128, 256, 512 })
        images.append(large.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    images.append(large);
    return icnsFromImages(images);
}

QStringList makeApps(const QString &folder, const AppsOptions &options)
{
    QStringList paths;
    try {
        fs::createDirectory(folder);
        for (int i = 0; i < options.count; ++i) {
            test::FakeBundleOptions bundle;
            bundle.executable = QStringLiteral("app");
            bundle.identifier = QStringLiteral("io.example.app%1").arg(i);
            bundle.omitExecutable = true;
            if (options.realisticInfoPlist)
                bundle.extraKeys = realisticInfoKeys(i);
            if (!options.sharedIconFile.isEmpty())
                bundle.iconFile = QStringLiteral("AppIcon");
            const QString path = test::makeFakeBundle(folder, appName(i), bundle);
            const bool sandboxed = options.sandboxedEvery > 0 && i % options.sandboxedEvery == 0;
            QList<test::ThinOptions> slices;
            for (quint32 cpu : { test::cpuArm64, test::cpuX86_64 }) {
                test::ThinOptions thin;
                thin.cpuType = cpu;
                thin.entitlements = realisticEntitlements(sandboxed);
                thin.commandsBefore = 24; // real executables have a few dozen load commands
                slices.append(thin);
            }
            const qint64 span = options.maxExecutableSize - options.minExecutableSize;
            const qint64 size
                = options.minExecutableSize + (options.count > 1 ? span * i / (options.count - 1) : 0);
            const QString executable = path + QStringLiteral("/Contents/MacOS/app");
            if (!test::writeSparseFat(executable, slices, size))
                fixtureFailed("sparse executable");
            fs::setPosixPermissions(executable, 0755);
            if (!options.sharedIconFile.isEmpty()) {
                std::filesystem::create_hard_link(QFile::encodeName(options.sharedIconFile).toStdString(),
                    QFile::encodeName(path + QStringLiteral("/Contents/Resources/AppIcon.icns"))
                        .toStdString());
            }
            paths.append(path);
        }
    } catch (const std::exception &error) {
        fixtureFailed(error.what());
    }
    return paths;
}

QByteArray realisticBadgedIcns()
{
    const QImage badged = renderBadgedIcon(realisticIconImage(), QStringLiteral("Work"));
    return icnsFromImage(badged);
}

void makeInstances(const QString &spacesDir, int count, const QStringList &targets, const QByteArray &icns)
{
    try {
        for (int i = 0; i < count; ++i) {
            const QString target = targets.at(i % targets.size());
            SpaceRecord record;
            record.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
            record.name = QStringLiteral("Account %1").arg(i);
            record.target = target;
            record.dataDir
                = QDir::homePath() + QStringLiteral("/Library/Application Support/Tandrel/") + record.id;
            record.createdAt = QDateTime::currentDateTimeUtc();
            const QString wrapper = spacesDir + QLatin1Char('/') + QFileInfo(target).completeBaseName()
                + QStringLiteral(" - ") + record.name + QStringLiteral(".app");
            fs::createDirectory(wrapper + QStringLiteral("/Contents/Resources"));
            fs::writeTextAtomically(wrapper + QStringLiteral("/Contents/Info.plist"),
                infoPlistText(QFileInfo(wrapper).completeBaseName(), record.id));
            fs::writeBytes(wrapper + QStringLiteral("/Contents/Resources/space.json"), record.toJson());
            if (!icns.isEmpty())
                fs::writeBytes(wrapper + QStringLiteral("/Contents/Resources/app.icns"), icns);
        }
    } catch (const std::exception &error) {
        fixtureFailed(error.what());
    }
}

GapMeter::GapMeter()
{
    m_ticker.setTimerType(Qt::PreciseTimer);
    m_ticker.setInterval(5);
    QObject::connect(&m_ticker, &QTimer::timeout, [this] {
        const qint64 now = m_clock.nsecsElapsed();
        m_gaps.push_back(double(now - m_last) / 1e6);
        m_last = now;
    });
}

void GapMeter::start()
{
    m_clock.start();
    m_last = 0;
    m_ticker.start();
}

double GapMeter::longest() const
{
    return m_gaps.empty() ? 0 : *std::max_element(m_gaps.cbegin(), m_gaps.cend());
}

double GapMeter::percentile(double fraction) const
{
    if (m_gaps.empty())
        return 0;
    std::vector<double> sorted = m_gaps;
    std::sort(sorted.begin(), sorted.end());
    return sorted[size_t(double(sorted.size() - 1) * fraction)];
}

QString renameToFresh(const QString &folder)
{
    static int generation = 0;
    const QString fresh = QFileInfo(folder).absolutePath() + QStringLiteral("/fresh-%1").arg(++generation);
    if (!QDir().rename(folder, fresh))
        fixtureFailed("rename");
    return fresh;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

} // namespace tandrel::bench
