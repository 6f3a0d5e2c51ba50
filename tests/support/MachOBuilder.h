#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtEndian>

namespace tandrel::test {

// CPU types for fixture headers.
inline constexpr quint32 cpuI386 = 0x00000007;
inline constexpr quint32 cpuX86_64 = 0x01000007;
inline constexpr quint32 cpuArm = 0x0000000c;
inline constexpr quint32 cpuArm64 = 0x0100000c;
inline constexpr quint32 cpuPowerPC = 0x00000012;
inline constexpr quint32 cpuPowerPC64 = 0x01000012;

enum class Signing {
    Unsigned, // no LC_CODE_SIGNATURE
    WithoutEntitlements, // super-blob with a CodeDirectory and requirements only
    WithEntitlements, // ... and an entitlements blob holding `entitlements`
};

// What a thin executable looks like.
struct ThinOptions
{
    quint32 cpuType = cpuArm64;
    bool is64 = true;
    bool bigEndian = false; // header and load commands in big-endian order
    Signing signing = Signing::WithEntitlements;
    QByteArray entitlements;
    int commandsBefore = 2; // harmless load commands ahead of LC_CODE_SIGNATURE
};

// Where the fields of a built thin file sit, as offsets from its start, so tests
// can make the file lie. Header fields use the file's byte order; the signature's
// are big-endian. -1 where the file has no such thing.
struct ThinLayout
{
    qint64 ncmds = -1;
    qint64 sizeofcmds = -1;
    qint64 codeSignatureCommand = -1; // cmd, cmdsize, dataoff, datasize follow
    qint64 dataoff = -1;
    qint64 datasize = -1;
    qint64 superBlob = -1; // magic, length, count, then the index
    qint64 superBlobLength = -1;
    qint64 superBlobCount = -1;
    qint64 entitlementsIndexOffset = -1; // offset field of the index entry of slot 5
    qint64 entitlementsBlob = -1; // magic, then length
    qint64 entitlementsLength = -1;
};

QByteArray buildThin(const ThinOptions &options, ThinLayout *layout = nullptr);

struct FatSlice
{
    quint32 cpuType;
    QByteArray bytes;
};

struct FatOptions
{
    bool is64 = false; // fat_arch_64 entries
    bool littleEndian = false; // FAT_CIGAM order, as no real tool writes but the format allows
    int alignPower = 12; // slices start at multiples of 2^alignPower
};

QByteArray buildFat(const QList<FatSlice> &slices, const FatOptions &options = {});

// Overwrites a field (quint32 or quint64) in place.
template <typename T> void put(QByteArray &bytes, qint64 at, T value, bool bigEndian)
{
    Q_ASSERT(at >= 0 && at + qint64(sizeof value) <= bytes.size());
    bigEndian ? qToBigEndian(value, bytes.data() + at) : qToLittleEndian(value, bytes.data() + at);
}

// Writes a fat file of exactly `totalSize` bytes whose slices are mostly holes:
// each slice holds its header and load commands at the start and its signature at
// the very end. Uses little disk and memory however large `totalSize` is.
bool writeSparseFat(const QString &path, const QList<ThinOptions> &slices, qint64 totalSize);

bool writeFile(const QString &path, const QByteArray &bytes);

// Entitlements property lists with com.apple.security.app-sandbox set to each kind
// of value, or left out.
enum class SandboxValue { True, False, IntegerZero, IntegerOne, StringTrue, Absent };
QByteArray entitlementsXml(SandboxValue sandbox);

} // namespace tandrel::test
