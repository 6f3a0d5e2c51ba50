#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

namespace tandrel {

// Random access to the bytes of a Mach-O file, so the reader runs over a file or a buffer.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    virtual qint64 size() const = 0;
    // Reads exactly `length` bytes at `offset`; false when that range is not all there.
    virtual bool read(qint64 offset, qint64 length, char *out) = 0;
};

// CPU types of a Mach-O header, for choosing a slice of a fat file.
enum class MachOCpu : quint32 {
    X86_64 = 0x01000007,
    Arm64 = 0x0100000c,
};

// The slice this build runs on: arm64 or x86_64.
MachOCpu hostCpu();

struct EntitlementsReadStats
{
    qint64 bytesRead = 0; // bytes the reader asked the source for
    bool signatureFound = false; // a well-formed embedded-signature super-blob was there
};

// The XML entitlements blob of a Mach-O executable's embedded code signature,
// without its blob header, or nothing: no signature, no entitlements, or any
// malformed, truncated or lying structure. Thin and fat files, 32 and 64 bit,
// either byte order. In a fat file the slice of `preferred` is read, else arm64,
// else x86_64, else the first. Reads only headers, load commands and the signature.
std::optional<QByteArray> readEntitlements(
    ByteSource &source, MachOCpu preferred = hostCpu(), EntitlementsReadStats *stats = nullptr);
std::optional<QByteArray> readEntitlementsFromBytes(const QByteArray &bytes, MachOCpu preferred = hostCpu());
std::optional<QByteArray> readEntitlementsFromFile(
    const QString &machOPath, MachOCpu preferred = hostCpu(), EntitlementsReadStats *stats = nullptr);

// Entitlements blobs larger than this are treated as malformed.
inline constexpr qint64 maxEntitlementsSize = 1024 * 1024;

} // namespace tandrel
