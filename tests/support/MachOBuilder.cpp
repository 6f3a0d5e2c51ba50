#include "support/MachOBuilder.h"

#include <QFile>

#include <array>

namespace tandrel::test {
namespace {

constexpr quint32 lcUuid = 0x1b;
constexpr quint32 lcRpath = 0x8000001c;
constexpr quint32 lcCodeSignature = 0x1d;
constexpr quint32 mhExecute = 2;

qint64 alignUp(qint64 value, qint64 alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}

// Appends big- or little-endian integers to a growing byte array.
class Writer
{
public:
    explicit Writer(bool bigEndian)
        : m_bigEndian(bigEndian)
    {
    }
    // Each gives where the value went.
    qint64 u32(quint32 value) { return add(value); }
    qint64 u64(quint64 value) { return add(value); }
    void raw(const QByteArray &bytes) { m_bytes.append(bytes); }
    void padTo(qint64 size) { m_bytes.append(size - m_bytes.size(), '\0'); }
    qint64 size() const { return m_bytes.size(); }
    QByteArray &bytes() { return m_bytes; }

private:
    template <typename T> qint64 add(T value)
    {
        const qint64 at = m_bytes.size();
        m_bytes.resize(at + qint64(sizeof value));
        put(m_bytes, at, value, m_bigEndian);
        return at;
    }

    bool m_bigEndian;
    QByteArray m_bytes;
};

// The embedded signature: super-blob, index, CodeDirectory placeholder, empty
// requirements, the entitlements when wanted, and an empty CMS wrapper, padded
// to 16 bytes as signing tools do. Offsets in `layout` are relative to the blob.
QByteArray buildSignature(const ThinOptions &options, ThinLayout &layout)
{
    struct Entry
    {
        quint32 slot;
        QByteArray blob;
    };
    const auto blob = [](quint32 magic, const QByteArray &body) {
        Writer w(true);
        w.u32(magic);
        w.u32(quint32(8 + body.size()));
        w.raw(body);
        return w.bytes();
    };
    QByteArray codeDirectory(80, '\0');
    qToBigEndian<quint32>(0x20400, codeDirectory.data()); // version
    QList<Entry> entries { { 0, blob(0xfade0c02, codeDirectory) },
        { 2, blob(0xfade0c01, QByteArray(4, '\0')) } };
    if (options.signing == Signing::WithEntitlements)
        entries.append({ 5, blob(0xfade7171, options.entitlements) });
    entries.append({ 0x10000, blob(0xfade0b01, {}) });

    Writer w(true);
    w.u32(0xfade0cc0);
    layout.superBlobLength = w.u32(0);
    layout.superBlobCount = w.u32(quint32(entries.size()));
    qint64 offset = 12 + 8 * entries.size();
    for (const Entry &entry : entries) {
        w.u32(entry.slot);
        const qint64 field = w.u32(quint32(offset));
        if (entry.slot == 5) {
            layout.entitlementsIndexOffset = field;
            layout.entitlementsBlob = offset;
            layout.entitlementsLength = offset + 4;
        }
        offset += entry.blob.size();
    }
    for (const Entry &entry : entries)
        w.raw(entry.blob);
    put(w.bytes(), layout.superBlobLength, quint32(w.size()), true);
    w.padTo(alignUp(w.size(), 16));
    return w.bytes();
}

} // namespace

QByteArray buildThin(const ThinOptions &options, ThinLayout *layoutOut)
{
    ThinLayout layout;
    const bool signedFile = options.signing != Signing::Unsigned;
    Writer w(options.bigEndian);
    w.u32(options.is64 ? 0xfeedfacf : 0xfeedface);
    w.u32(options.cpuType);
    w.u32(options.cpuType == cpuX86_64 || options.cpuType == cpuI386 ? 3 : 0); // the "all" subtype
    w.u32(mhExecute);
    layout.ncmds = w.u32(quint32(options.commandsBefore + (signedFile ? 1 : 0)));
    layout.sizeofcmds = w.u32(0);
    w.u32(0); // flags
    if (options.is64)
        w.u32(0); // reserved
    const qint64 commandsStart = w.size();

    const qint64 commandAlign = options.is64 ? 8 : 4;
    for (int i = 0; i < options.commandsBefore; ++i) {
        if (i == 0) {
            w.u32(lcUuid);
            w.u32(24);
            w.raw(QByteArray::fromHex("5d9c1a2b3c4d4e5f8a9b0c1d2e3f4a5b"));
        } else {
            const QByteArray path("@loader_path/../Frameworks");
            const qint64 size = alignUp(12 + path.size() + 1, commandAlign);
            const qint64 start = w.size();
            w.u32(lcRpath);
            w.u32(quint32(size));
            w.u32(12); // path offset within the command
            w.raw(path);
            w.padTo(start + size);
        }
    }
    QByteArray signature;
    if (signedFile) {
        layout.codeSignatureCommand = w.u32(lcCodeSignature);
        w.u32(16);
        layout.dataoff = w.u32(0);
        layout.datasize = w.u32(0);
    }
    put(w.bytes(), layout.sizeofcmds, quint32(w.size() - commandsStart), options.bigEndian);

    if (signedFile) {
        // Some "code" between the load commands and the signature, as in a real file.
        w.padTo(alignUp(w.size(), 16) + 64);
        layout.superBlob = w.size();
        signature = buildSignature(options, layout);
        for (qint64 *field : { &layout.superBlobLength, &layout.superBlobCount,
                 &layout.entitlementsIndexOffset, &layout.entitlementsBlob, &layout.entitlementsLength }) {
            if (*field >= 0)
                *field += layout.superBlob;
        }
        put(w.bytes(), layout.dataoff, quint32(layout.superBlob), options.bigEndian);
        put(w.bytes(), layout.datasize, quint32(signature.size()), options.bigEndian);
        w.raw(signature);
    } else {
        w.padTo(alignUp(w.size(), 16) + 64);
    }
    if (layoutOut)
        *layoutOut = layout;
    return w.bytes();
}

QByteArray buildFat(const QList<FatSlice> &slices, const FatOptions &options)
{
    const qint64 alignment = qint64(1) << options.alignPower;
    Writer w(!options.littleEndian);
    w.u32(options.is64 ? 0xcafebabf : 0xcafebabe);
    w.u32(quint32(slices.size()));
    QList<qint64> offsets { alignUp(8 + slices.size() * (options.is64 ? 32 : 20), alignment) };
    for (const FatSlice &slice : slices) {
        w.u32(slice.cpuType);
        w.u32(slice.cpuType == cpuX86_64 || slice.cpuType == cpuI386 ? 3 : 0);
        options.is64 ? w.u64(quint64(offsets.last())) : w.u32(quint32(offsets.last()));
        options.is64 ? w.u64(quint64(slice.bytes.size())) : w.u32(quint32(slice.bytes.size()));
        w.u32(quint32(options.alignPower));
        if (options.is64)
            w.u32(0); // reserved
        offsets.append(alignUp(offsets.last() + slice.bytes.size(), alignment));
    }
    for (int i = 0; i < slices.size(); ++i) {
        w.padTo(offsets[i]);
        w.raw(slices[i].bytes);
    }
    return w.bytes();
}

bool writeSparseFat(const QString &path, const QList<ThinOptions> &thins, qint64 totalSize)
{
    constexpr qint64 page = 4096;
    if (thins.isEmpty())
        return false;
    const qint64 region = (totalSize - page) / thins.size() / page * page;
    if (region <= 0 || region > 0xffffffffLL)
        return false;

    // Each slice: header and load commands, a hole, then the signature ending the slice.
    QList<QByteArray> heads;
    QList<QByteArray> signatures;
    QList<qint64> signatureOffsets;
    for (const ThinOptions &options : thins) {
        ThinLayout layout;
        QByteArray bytes = buildThin(options, &layout);
        if (layout.superBlob < 0)
            return false;
        const QByteArray signature = bytes.mid(layout.superBlob);
        const qint64 signatureOffset = (region - signature.size()) / 16 * 16;
        bytes.truncate(layout.superBlob);
        put(bytes, layout.dataoff, quint32(signatureOffset), options.bigEndian);
        heads.append(bytes);
        signatures.append(signature);
        signatureOffsets.append(signatureOffset);
    }

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    Writer header(true);
    header.u32(0xcafebabe);
    header.u32(quint32(thins.size()));
    for (int i = 0; i < thins.size(); ++i) {
        header.u32(thins[i].cpuType);
        header.u32(0);
        header.u32(quint32(page + i * region));
        header.u32(quint32(signatureOffsets[i] + signatures[i].size()));
        header.u32(12);
    }
    bool ok = file.write(header.bytes()) == header.size();
    for (int i = 0; i < thins.size() && ok; ++i) {
        const qint64 start = page + i * region;
        ok = file.seek(start) && file.write(heads[i]) == heads[i].size()
            && file.seek(start + signatureOffsets[i]) && file.write(signatures[i]) == signatures[i].size();
    }
    // Seeking past the end and resizing leave holes rather than written zeros.
    return ok && file.resize(totalSize);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray entitlementsXml(SandboxValue sandbox)
{
    // In the order of SandboxValue.
    const QByteArray value = std::array { "<true/>", "<false/>", "<integer>0</integer>",
        "<integer>1</integer>", "<string>true</string>", "" }[size_t(sandbox)];
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                     "<plist version=\"1.0\">\n<dict>\n";
    if (!value.isEmpty())
        xml += "\t<key>com.apple.security.app-sandbox</key>\n\t" + value + "\n";
    xml += "\t<key>com.apple.security.network.client</key>\n\t<true/>\n</dict>\n</plist>\n";
    return xml;
}

} // namespace tandrel::test
