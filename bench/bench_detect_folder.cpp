// Sandbox detection over a folder of apps, as production does it at the first refresh: the
// folder listed as discovery lists it, then Store::isSandboxed for every .app, in a fresh
// process (no answer cached). With --formats, the formats-level path the model is moving
// to: readBundleEntitlements, then readSandboxEntitlement. Prints the line detect_floor
// prints, so ./scripts/bench detect can set the two side by side.
// Usage: detect_folder DIR [--formats]
#include "formats/MachOSignature.h"
#include "formats/PlistScan.h"
#include "model/Store.h"
#include "model/bundle/BundleInfo.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QUrl>

#include <cstdio>
#include <ctime>

using namespace tandrel;

namespace {

// Process CPU time in milliseconds: other load on the machine, which takes the processor
// away for a while, does not count. detect_floor measures the same way.
double cpuMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2 || (arguments.size() == 3 && arguments.at(2) != QLatin1String("--formats"))
        || arguments.size() > 3) {
        std::fprintf(stderr, "usage: %s DIR [--formats]\n", argv[0]);
        return 2;
    }
    const bool formats = arguments.size() == 3;
    const double start = cpuMilliseconds();
    QStringList entries;
    try {
        entries = fs::contentsOfDirectory(arguments.at(1));
    } catch (const FileSystemError &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    int apps = 0;
    int sandboxed = 0;
    for (const QString &entry : std::as_const(entries)) {
        if (!entry.endsWith(QLatin1String(".app")))
            continue;
        ++apps;
        if (formats) {
            // The reads alone: the bundle reader, then the entitlements, without the cache.
            const std::optional<BundleInfo> info = readBundleInfo(entry);
            const std::optional<QByteArray> entitlements = info && !info->executable.isEmpty()
                ? readEntitlementsFromFile(info->executablePath(entry))
                : std::nullopt;
            sandboxed += entitlements && readSandboxEntitlement(*entitlements) ? 1 : 0;
        } else {
            sandboxed += Store::isSandboxed(QUrl::fromLocalFile(entry)) ? 1 : 0;
        }
    }
    const double ms = cpuMilliseconds() - start;
    std::printf(
        "%d apps, %d sandboxed, %.2f ms, %.2f us/app\n", apps, sandboxed, ms, apps ? ms * 1e3 / apps : 0.0);
    return 0;
}
