#include "formats/MachOSignature.h"

#include "formats/PlistScan.h"
#include "formats/PropertyList.h"
#include "formats/SmallFile.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tandrel {
namespace {

constexpr quint32 mhMagic = 0xfeedface;
constexpr quint32 mhCigam = 0xcefaedfe;
constexpr quint32 mhMagic64 = 0xfeedfacf;
constexpr quint32 mhCigam64 = 0xcffaedfe;
constexpr quint32 fatMagic = 0xcafebabe;
constexpr quint32 fatCigam = 0xbebafeca;
constexpr quint32 fatMagic64 = 0xcafebabf;
constexpr quint32 fatCigam64 = 0xbfbafeca;

constexpr quint32 lcCodeSignature = 0x1d;
constexpr quint32 superBlobMagic = 0xfade0cc0;
constexpr quint32 entitlementsMagic = 0xfade7171;
constexpr quint32 entitlementsSlot = 5;

// Caps far above anything a real executable has; they keep hostile files from
// making us loop or allocate without bound.
constexpr quint32 maxFatSlices = 64;
constexpr quint32 maxLoadCommands = 4096;
constexpr quint32 maxLoadCommandBytes = 4 * 1024 * 1024;
constexpr quint32 maxBlobIndexEntries = 256;

constexpr qint64 machHeaderSize32 = 28;
constexpr qint64 machHeaderSize64 = 32;
constexpr qint64 fatArchSize32 = 20;
constexpr qint64 fatArchSize64 = 32;
constexpr qint64 superBlobHeaderSize = 12;
constexpr qint64 blobHeaderSize = 8;

quint32 u32(const char *p, bool bigEndian)
{
    return bigEndian ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
}

quint64 u64(const char *p, bool bigEndian)
{
    return bigEndian ? qFromBigEndian<quint64>(p) : qFromLittleEndian<quint64>(p);
}

// True when [offset, offset + length) lies inside [0, limit), without overflow.
bool fits(quint64 offset, quint64 length, quint64 limit)
{
    return offset <= limit && length <= limit - offset;
}

class BufferSource : public ByteSource
{
public:
    explicit BufferSource(const QByteArray &bytes)
        : m_bytes(bytes)
    {
    }
    qint64 size() const override { return m_bytes.size(); }
    bool read(qint64 offset, qint64 length, char *out) override
    {
        if (offset < 0 || length < 0 || !fits(quint64(offset), quint64(length), quint64(m_bytes.size())))
            return false;
        if (length > 0)
            std::memcpy(out, m_bytes.constData() + offset, size_t(length));
        return true;
    }

private:
    const QByteArray &m_bytes;
};

// A file read with pread, through a window of a few pages: the header and load commands
// usually come in one read and the signature's header, index and entitlements in one more,
// instead of a system call per field.
class FileSource : public ByteSource
{
public:
    static constexpr qint64 windowSize = 4096;

    // Only a regular file: a FIFO or a device could block or never end.
    bool open(const char *path) { return m_file.open(path) == 0; }
    qint64 size() const override { return m_file.size(); }
    bool read(qint64 offset, qint64 length, char *out) override
    {
        if (offset < 0 || length < 0 || !fits(quint64(offset), quint64(length), quint64(size())))
            return false;
        if (length > windowSize)
            return m_file.readAt(offset, length, out);
        if (offset < m_windowStart || offset + length > m_windowStart + m_windowLength) {
            const qint64 span = std::min(windowSize, size() - offset);
            if (!m_file.readAt(offset, span, m_window))
                return false;
            m_windowStart = offset;
            m_windowLength = span;
        }
        std::memcpy(out, m_window + (offset - m_windowStart), size_t(length));
        return true;
    }

private:
    ReadOnlyFile m_file;
    qint64 m_windowStart = 0;
    qint64 m_windowLength = 0;
    char m_window[windowSize];
};

std::optional<QByteArray> readEntitlementsAt(
    const char *path, MachOCpu preferred, EntitlementsReadStats *stats)
{
    FileSource source;
    if (!source.open(path))
        return std::nullopt;
    return readEntitlements(source, preferred, stats);
}

// The index of the preferred CPU's slice, else arm64's, else x86_64's, else the first.
quint32 chooseSlice(
    const QByteArray &archs, quint32 count, qint64 archSize, bool bigEndian, MachOCpu preferred)
{
    for (const MachOCpu wanted : { preferred, MachOCpu::Arm64, MachOCpu::X86_64 }) {
        for (quint32 i = 0; i < count; ++i) {
            if (u32(archs.constData() + i * archSize, bigEndian) == quint32(wanted))
                return i;
        }
    }
    return 0;
}

struct Slice
{
    qint64 offset = 0;
    qint64 size = 0;
};

// Walks the structures of one file, counting every byte it asks the source for.
class SignatureReader
{
public:
    SignatureReader(ByteSource &source, EntitlementsReadStats &stats)
        : m_source(source)
        , m_stats(stats)
    {
    }

    std::optional<QByteArray> read(MachOCpu preferred)
    {
        const qint64 fileSize = m_source.size();
        char head[8];
        if (fileSize < qint64(sizeof head) || !fetch(0, sizeof head, head))
            return std::nullopt;
        const quint32 magic = qFromBigEndian<quint32>(head);
        if (magic != fatMagic && magic != fatCigam && magic != fatMagic64 && magic != fatCigam64)
            return readSlice({ 0, fileSize });

        const bool bigEndian = magic == fatMagic || magic == fatMagic64;
        const bool is64 = magic == fatMagic64 || magic == fatCigam64;
        const quint32 count = u32(head + 4, bigEndian);
        const qint64 archSize = is64 ? fatArchSize64 : fatArchSize32;
        if (count == 0 || count > maxFatSlices
            || !fits(8, quint64(count) * quint64(archSize), quint64(fileSize)))
            return std::nullopt;
        const std::optional<QByteArray> archs = fetchBytes(8, count * archSize);
        if (!archs)
            return std::nullopt;

        const char *arch
            = archs->constData() + chooseSlice(*archs, count, archSize, bigEndian, preferred) * archSize;
        const quint64 offset = is64 ? u64(arch + 8, bigEndian) : u32(arch + 8, bigEndian);
        const quint64 size = is64 ? u64(arch + 16, bigEndian) : u32(arch + 12, bigEndian);
        if (!fits(offset, size, quint64(fileSize)))
            return std::nullopt;
        return readSlice({ qint64(offset), qint64(size) });
    }

private:
    bool fetch(qint64 offset, qint64 length, char *out)
    {
        m_stats.bytesRead += length;
        return m_source.read(offset, length, out);
    }

    // Callers have checked the range against the file, so the allocation is bounded.
    std::optional<QByteArray> fetchBytes(qint64 offset, qint64 length)
    {
        QByteArray bytes(length, Qt::Uninitialized);
        if (!fetch(offset, length, bytes.data()))
            return std::nullopt;
        return bytes;
    }

    std::optional<QByteArray> readSlice(Slice slice)
    {
        char header[machHeaderSize32];
        if (slice.size < machHeaderSize32 || !fetch(slice.offset, machHeaderSize32, header))
            return std::nullopt;
        const quint32 magic = qFromLittleEndian<quint32>(header);
        if (magic != mhMagic && magic != mhCigam && magic != mhMagic64 && magic != mhCigam64)
            return std::nullopt;
        const bool bigEndian = magic == mhCigam || magic == mhCigam64;
        const qint64 headerSize
            = (magic == mhMagic64 || magic == mhCigam64) ? machHeaderSize64 : machHeaderSize32;
        const quint32 commandCount = u32(header + 16, bigEndian);
        const quint32 commandBytes = u32(header + 20, bigEndian);
        if (commandCount > maxLoadCommands || commandBytes > maxLoadCommandBytes
            || !fits(quint64(headerSize), commandBytes, quint64(slice.size)))
            return std::nullopt;
        const std::optional<QByteArray> commands = fetchBytes(slice.offset + headerSize, commandBytes);
        if (!commands)
            return std::nullopt;

        quint32 position = 0;
        for (quint32 i = 0; i < commandCount; ++i) {
            if (!fits(position, 8, commandBytes))
                return std::nullopt;
            const char *command = commands->constData() + position;
            const quint32 kind = u32(command, bigEndian);
            const quint32 size = u32(command + 4, bigEndian);
            if (size < 8 || !fits(position, size, commandBytes))
                return std::nullopt;
            if (kind == lcCodeSignature) {
                if (size < 16)
                    return std::nullopt;
                return readSignature(slice, u32(command + 8, bigEndian), u32(command + 12, bigEndian));
            }
            position += size;
        }
        return std::nullopt; // not signed
    }

    // The super-blob and its blobs are big-endian whatever the byte order of the file.
    std::optional<QByteArray> readSignature(Slice slice, quint32 dataOffset, quint32 dataSize)
    {
        if (dataSize < superBlobHeaderSize || !fits(dataOffset, dataSize, quint64(slice.size)))
            return std::nullopt;
        const qint64 base = slice.offset + dataOffset;
        char header[superBlobHeaderSize];
        if (!fetch(base, superBlobHeaderSize, header))
            return std::nullopt;
        const quint32 magic = qFromBigEndian<quint32>(header);
        const quint32 length = qFromBigEndian<quint32>(header + 4);
        const quint32 count = qFromBigEndian<quint32>(header + 8);
        if (magic != superBlobMagic || length < superBlobHeaderSize || length > dataSize
            || count > maxBlobIndexEntries || !fits(superBlobHeaderSize, quint64(count) * 8, length))
            return std::nullopt;
        m_stats.signatureFound = true;

        const std::optional<QByteArray> index = fetchBytes(base + superBlobHeaderSize, qint64(count) * 8);
        if (!index)
            return std::nullopt;
        for (quint32 i = 0; i < count; ++i) {
            if (qFromBigEndian<quint32>(index->constData() + i * 8) != entitlementsSlot)
                continue;
            const quint32 offset = qFromBigEndian<quint32>(index->constData() + i * 8 + 4);
            char blob[blobHeaderSize];
            if (!fits(offset, blobHeaderSize, length) || !fetch(base + offset, blobHeaderSize, blob))
                return std::nullopt;
            const quint32 blobLength = qFromBigEndian<quint32>(blob + 4);
            if (qFromBigEndian<quint32>(blob) != entitlementsMagic || blobLength < blobHeaderSize
                || qint64(blobLength) - blobHeaderSize > maxEntitlementsSize
                || !fits(offset, blobLength, length))
                return std::nullopt;
            return fetchBytes(base + offset + blobHeaderSize, blobLength - blobHeaderSize);
        }
        return std::nullopt; // signed without entitlements
    }

    ByteSource &m_source;
    EntitlementsReadStats &m_stats;
};

} // namespace

MachOCpu hostCpu()
{
#if defined(__aarch64__) || defined(__arm64__) || defined(_M_ARM64)
    return MachOCpu::Arm64;
#else
    return MachOCpu::X86_64;
#endif
}

std::optional<QByteArray> readEntitlements(
    ByteSource &source, MachOCpu preferred, EntitlementsReadStats *stats)
{
    EntitlementsReadStats local;
    EntitlementsReadStats &counts = stats ? *stats : local;
    counts = {};
    return SignatureReader(source, counts).read(preferred);
}

std::optional<QByteArray> readEntitlementsFromBytes(const QByteArray &bytes, MachOCpu preferred)
{
    BufferSource source(bytes);
    return readEntitlements(source, preferred);
}

std::optional<QByteArray> readEntitlementsFromFile(
    const QString &machOPath, MachOCpu preferred, EntitlementsReadStats *stats)
{
    if (stats)
        *stats = {};
    return readEntitlementsAt(QFile::encodeName(machOPath).constData(), preferred, stats);
}

} // namespace tandrel
