// How long the window stops answering while an applications folder holds hostile bundles:
// a 16 MB Info.plist (sixteen times the reader's cap) and a 30 MB icon. The window is
// opened on 200 ordinary apps plus those, refreshed five times, and the create sheet is
// opened on the hostile one; a 5 ms timer on the main thread measures every gap between
// its ticks for three seconds. Prints the longest gap and the ticks' 99th percentile.
// Not a Google Benchmark: one run is the measurement. Arguments are ignored.
#include "app/MainWindow.h"
#include "model/Store.h"
#include "platform/FileSystem.h"
#include "support/BenchSupport.h"
#include "support/FakeBundle.h"
#include "support/TestEnvironment.h"
#include "ui/ContentView.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace tandrel;

int main(int argc, char *argv[])
{
    test::isolateEnvironment();
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString apps = dir.filePath(QStringLiteral("apps"));
    bench::AppsOptions options;
    options.count = 200;
    options.minExecutableSize = options.maxExecutableSize = 64 * 1024;
    bench::makeApps(apps, options);
    test::FakeBundleOptions hostile;
    hostile.iconFile = QStringLiteral("Huge");
    hostile.iconBytes = QByteArray(30 * 1024 * 1024, 'x');
    const QString huge = test::makeFakeBundle(apps, QStringLiteral("AAA Huge"), hostile);
    fs::writeBytes(huge + QStringLiteral("/Contents/Info.plist"),
        "<?xml version=\"1.0\"?><plist><dict><key>CFBundleExecutable</key><string>app</string>"
        "<key>Pad</key><string>"
            + QByteArray(16 * 1024 * 1024, 'x') + "</string></dict></plist>");

    bench::GapMeter meter;
    meter.start();
    auto *window = new MainWindow(QStringList { apps }); // deletes itself when closed
    window->show();
    ContentView *view = window->contentView();
    for (int i = 0; i < 5; ++i)
        QTimer::singleShot(300 + i * 300, view, [view] { view->store().refresh(); });
    QTimer::singleShot(1000, view, [view] { view->setSelectedApp(view->store().apps().first()); });
    const qsizetype listed = view->store().apps().size();
    QTimer::singleShot(3000, &app, &QCoreApplication::quit);
    app.exec();

    std::printf("responsiveness: %zu ticks, longest gap %.1f ms, 99th percentile %.1f ms (apps=%lld)\n",
        meter.ticks(), meter.longest(), meter.percentile(0.99), static_cast<long long>(listed));
    return 0;
}
