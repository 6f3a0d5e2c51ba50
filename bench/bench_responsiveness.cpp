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
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

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

    std::vector<double> gaps;
    QElapsedTimer clock;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    qint64 last = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        gaps.push_back((now - last) / 1e6);
        last = now;
    });

    clock.start();
    ticker.start();
    auto *window = new MainWindow(QStringList { apps }); // deletes itself when closed
    window->show();
    ContentView *view = window->contentView();
    for (int i = 0; i < 5; ++i)
        QTimer::singleShot(300 + i * 300, view, [view] { view->store().refresh(); });
    QTimer::singleShot(1000, view, [view] { view->setSelectedApp(view->store().apps().first()); });
    const qsizetype listed = view->store().apps().size();
    QTimer::singleShot(3000, &app, &QCoreApplication::quit);
    app.exec();

    std::sort(gaps.begin(), gaps.end());
    const double longest = gaps.empty() ? 0 : gaps.back();
    const double p99 = gaps.empty() ? 0 : gaps[size_t(double(gaps.size() - 1) * 0.99)];
    std::printf("responsiveness: %zu ticks, longest gap %.1f ms, 99th percentile %.1f ms (apps=%lld)\n",
        gaps.size(), longest, p99, static_cast<long long>(listed));
    return 0;
}
