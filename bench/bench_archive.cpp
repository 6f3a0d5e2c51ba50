// Export and import of a large profile of many small files against `tar --zstd` on the same
// data, in the same run: a data folder of 64 K files of 16 KiB (1 GiB by default; the first
// argument sets the size in MiB), half random and half repeated as profiles are. Each side
// is timed writing the archive and unpacking it, with the page cache warm for both. Prints
// the times, the ratios and this process's peak memory (tar's own is its child's).
// Not a Google Benchmark: one run is the measurement.
#include "model/InstanceArchive.h"
#include "platform/FileSystem.h"
#include "support/BenchSupport.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

#include <sys/resource.h>

using namespace tandrel;

namespace {

qint64 timed(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return clock.elapsed();
}

void runTar(const QStringList &arguments)
{
    QProcess tar;
    tar.start(QStringLiteral("tar"), arguments);
    if (!tar.waitForFinished(-1) || tar.exitCode() != 0) {
        std::fprintf(stderr, "bench_archive: tar failed: %s\n", tar.readAllStandardError().constData());
        std::exit(1);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    test::isolateEnvironment();
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
    const int files = int(megabytes * 1024 / 16);
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_archive-XXXXXX"));
    const QString data = dir.filePath(QStringLiteral("data"));
    QByteArray block(16 * 1024, Qt::Uninitialized);
    QRandomGenerator random(42);
    for (int i = 0; i < files; ++i) {
        const QString folder = data + QStringLiteral("/d%1/e%2").arg(i % 64).arg(i % 256 / 64);
        if (i < 256)
            fs::createDirectory(folder);
        random.fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 8);
        std::fill(block.begin() + block.size() / 2, block.end(), char('a' + i % 26));
        fs::writeBytes(folder + QStringLiteral("/f%1").arg(i), block);
    }
    ::sync();

    const QString ours = dir.filePath(QStringLiteral("ours.tar.zst"));
    const QString theirs = dir.filePath(QStringLiteral("theirs.tar.zst"));
    runTar({ QStringLiteral("-cf"), QStringLiteral("/dev/null"), QStringLiteral("-C"), data,
        QStringLiteral(".") }); // warm the cache
    const qint64 tarWrite = timed([&] {
        runTar({ QStringLiteral("--zstd"), QStringLiteral("-cf"), theirs, QStringLiteral("-C"), data,
            QStringLiteral(".") });
    });
    const qint64 ourWrite = timed([&] { writeInstanceArchive(ours, "{}", data, {}); });
    fs::createDirectory(dir.filePath(QStringLiteral("tar-out")));
    fs::createDirectory(dir.filePath(QStringLiteral("our-out")));
    const qint64 tarRead = timed([&] {
        runTar({ QStringLiteral("--zstd"), QStringLiteral("-xf"), theirs, QStringLiteral("-C"),
            dir.filePath(QStringLiteral("tar-out")) });
    });
    const qint64 ourRead
        = timed([&] { unpackInstanceArchive(ours, dir.filePath(QStringLiteral("our-out")), {}); });

    struct rusage self = {};
    ::getrusage(RUSAGE_SELF, &self);
    std::printf("archive: %d files, %lld MiB; archives %lld / %lld MiB (ours / tar)\n", files,
        static_cast<long long>(megabytes), static_cast<long long>(QFileInfo(ours).size() >> 20),
        static_cast<long long>(QFileInfo(theirs).size() >> 20));
    std::printf("export: %lld ms, tar --zstd -c: %lld ms, ratio %.2f\n", static_cast<long long>(ourWrite),
        static_cast<long long>(tarWrite), double(ourWrite) / double(std::max<qint64>(tarWrite, 1)));
    std::printf("import: %lld ms, tar --zstd -x: %lld ms, ratio %.2f\n", static_cast<long long>(ourRead),
        static_cast<long long>(tarRead), double(ourRead) / double(std::max<qint64>(tarRead, 1)));
    std::printf("peak memory of this process: %ld MiB\n", self.ru_maxrss / 1024);
    return 0;
}
