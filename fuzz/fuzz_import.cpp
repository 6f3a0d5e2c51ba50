// The importer over arbitrary bytes, through a file as it reads them: the manifest alone,
// then the whole archive unpacked into a fresh folder, removed after each input.
#include "model/InstanceArchive.h"
#include "model/TandrelError.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <unistd.h>

namespace {

const QString folder
    = QDir::tempPath() + QStringLiteral("/tandrel-fuzz-import-") + QString::number(::getpid());
const QString archivePath = folder + QStringLiteral("/archive");
const QString into = folder + QStringLiteral("/into");
const struct Cleanup
{
    ~Cleanup() { QDir(folder).removeRecursively(); }
} cleanup;

template <typename Call> void refusedOrDone(Call call)
{
    try {
        call();
    } catch (const tandrel::TandrelError &) {
    } catch (const tandrel::FileSystemError &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Links are removed, never what they point to.
    QDir(into).removeRecursively();
    if (!QDir().mkpath(into))
        return 0;
    QFile file(archivePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        return 0;
    file.close();
    refusedOrDone([] { (void)tandrel::readArchiveManifest(archivePath); });
    refusedOrDone([] { (void)tandrel::unpackInstanceArchive(archivePath, into, {}); });
    QDir(into).removeRecursively();
    return 0;
}
