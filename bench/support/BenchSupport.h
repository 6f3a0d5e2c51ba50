#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

// Fixtures and the common main of the benchmarks. Everything is written below the
// temporary folders the caller passes; the environment is isolated before the
// application object exists, so nothing reads or writes the real home.
namespace tandrel::bench {

// Isolates HOME, XDG folders and settings (offscreen unless a platform is set), makes a
// QApplication, runs every registered benchmark and gives main's exit code.
int runBenchmarks(int argc, char **argv);

// A plausible app name for index i: a few words from a fixed vocabulary, unique per index.
QString appName(int index);

// Info.plist keys as shipped apps have them (about 3 KB of XML with the bundle's own).
QVariantMap realisticInfoKeys(int index);

// Entitlements as shipped apps carry them: a dozen keys, about a kilobyte of XML.
QByteArray realisticEntitlements(bool sandboxed);

// A 1024-pixel app icon with gradients, shapes and grain, so it encodes to a PNG of
// realistic size (hundreds of kilobytes), unlike a flat fixture colour.
QImage realisticIconImage(int side = 1024);
// An ICNS holding that icon at 16 to 1024 pixels, as shipped bundles do.
QByteArray realisticIcns();

struct AppsOptions
{
    int count = 1000;
    // Every n-th app is sandboxed; 0 for none.
    int sandboxedEvery = 10;
    // Executables are fat (arm64 + x86_64), sparse, spread evenly between these sizes.
    qint64 minExecutableSize = 50LL * 1024 * 1024;
    qint64 maxExecutableSize = 300LL * 1024 * 1024;
    // When set, every bundle's CFBundleIconFile is a hard link to this ICNS file.
    QString sharedIconFile;
    // Info.plist with realisticInfoKeys(); otherwise only the few keys a bundle needs.
    bool realisticInfoPlist = true;
};

// Writes options.count bundles named appName(i) into the folder and gives their paths.
// Aborts when the disk refuses: a benchmark without its fixture measures nothing.
QStringList makeApps(const QString &folder, const AppsOptions &options);

// Writes `count` instance wrappers into spacesDir as creating them would: Info.plist,
// space.json (targeting the given apps in turn) and, when given, the ICNS as app.icns.
void makeInstances(
    const QString &spacesDir, int count, const QStringList &targets, const QByteArray &icns = {});
// The ICNS a created instance of an app with realisticIconImage() carries.
QByteArray realisticBadgedIcns();

// Moves a fixture folder to a new sibling name and gives it: every path below it is
// new to any per-path cache, while the files stay in the page cache.
QString renameToFresh(const QString &folder);

// How long the main thread stops answering: a 5 ms timer on it notes every gap between
// its ticks from start() on, while the event loop runs.
class GapMeter
{
public:
    GapMeter();
    void start();
    // The longest gap, and the gap at a fraction (0.99) of them sorted, in milliseconds.
    double longest() const;
    double percentile(double fraction) const;
    size_t ticks() const { return m_gaps.size(); }

private:
    QElapsedTimer m_clock;
    QTimer m_ticker;
    qint64 m_last = 0;
    std::vector<double> m_gaps;
};

// Seconds since `start`, for manual timing.
inline double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The median of the values; 0 for none.
double median(std::vector<double> values);

} // namespace tandrel::bench
