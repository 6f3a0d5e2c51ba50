#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>

namespace tandrel {

// Long copies of an instance's data report how far they are and can be stopped.
struct Transfer
{
    // Bytes done out of an estimated total; called now and then, on the copying thread.
    std::function<void(qint64 done, qint64 total)> progress;
    // Set from any thread to stop: the copy then throws TandrelError (transferCancelled()).
    const std::atomic<bool> *cancelled = nullptr;
    // Filled in, when given, with what unpacking left out on purpose.
    struct UnpackSummary *skipped = nullptr;
};

// The text a cancelled transfer throws with.
QString transferCancelledText();

// What the unpacking leaves out on purpose, for the message after it.
struct UnpackSummary
{
    int outwardLinks = 0; // links pointing outside the data folder, which the road makes anew
    int existing = 0; // files the new instance already has (its record and icon)
};

// The archive's first member, which describes the instance: written first, read alone.
inline constexpr char archiveManifestName[] = "tandrel-instance.json";
inline constexpr qsizetype maxArchiveManifestSize = 256 * 1024;

// Writes a tar archive compressed with zstd: the manifest, then every item of the data
// folder under "data/" (hidden ones included, links as links, never followed, sockets and
// the like left out), to `file` in one step at the end; refused when something is there.
void writeInstanceArchive(
    const QString &file, const QByteArray &manifest, const QString &dataDir, const Transfer &transfer);

// The manifest of an archive (any compression libarchive reads); throws TandrelError
// when the file is not an instance archive.
QByteArray readArchiveManifest(const QString &file);

// Unpacks the archive's data into `into`, an empty or newly made folder: never outside
// it, never through a link, never over a file, and only what the writer above writes.
// Anything else (absolute or ".." paths, hard links, devices, FIFOs, a member twice, names
// that are not UTF-8, a member longer than it claims, more than the disk or the caps allow,
// a truncated or corrupt archive) refuses the whole archive with TandrelError; what was
// unpacked is then the caller's to remove.
UnpackSummary unpackInstanceArchive(const QString &file, const QString &into, const Transfer &transfer);

// Copies one data folder into another under the same rules.
UnpackSummary copyInstanceData(const QString &from, const QString &into, const Transfer &transfer);

} // namespace tandrel
