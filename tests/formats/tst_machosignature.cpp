#include "formats/MachOSignature.h"
#include "formats/PropertyList.h"
#include "support/MachOBuilder.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cstring>

using namespace tandrel;
using namespace tandrel::test;

namespace {

// Serves a buffer, optionally claiming to be far larger (zeros past the buffer),
// and remembers the largest single read, so runaway reads and allocations show.
class SpySource : public ByteSource
{
public:
    explicit SpySource(const QByteArray &bytes, qint64 claimedSize = -1)
        : m_bytes(bytes), m_size(claimedSize < 0 ? bytes.size() : claimedSize)
    { }
    qint64 size() const override { return m_size; }
    bool read(qint64 offset, qint64 length, char *out) override
    {
        m_largestRead = qMax(m_largestRead, length);
        if (offset < 0 || length < 0 || offset > m_size || length > m_size - offset)
            return false;
        const qint64 real = qBound<qint64>(0, m_bytes.size() - offset, length);
        if (real > 0)
            std::memcpy(out, m_bytes.constData() + offset, size_t(real));
        std::memset(out + real, 0, size_t(length - real));
        return true;
    }
    qint64 largestRead() const { return m_largestRead; }

private:
    QByteArray m_bytes;
    qint64 m_size;
    qint64 m_largestRead = 0;
};

QByteArray sliceXml(int index)
{
    return entitlementsXml(SandboxValue::True) + "<!-- slice " + QByteArray::number(index) + " -->\n";
}

// 32-bit and big-endian headers follow the CPU, as real files do.
ThinOptions thinFor(quint32 cpu, const QByteArray &xml)
{
    ThinOptions options;
    options.cpuType = cpu;
    options.is64 = (cpu & 0x01000000) != 0;
    options.bigEndian = cpu == cpuPowerPC || cpu == cpuPowerPC64;
    options.entitlements = xml;
    return options;
}

enum class Kind { Thin64, Thin32BigEndian, Fat, Fat64 };

enum class Field {
    Ncmds, Sizeofcmds, FirstCmdsize, SignatureCmdsize, Dataoff, Datasize,
    SuperBlobMagic, SuperBlobLength, SuperBlobCount, EntitlementsIndexOffset,
    EntitlementsMagic, EntitlementsLength, FatCount, FatSliceOffset, FatSliceSize,
};

struct Patch
{
    Field field;
    quint64 value;
};

// A valid file with entitlements in the arm64 slice, and where its fields are.
struct Fixture
{
    QByteArray bytes;
    QByteArray xml = entitlementsXml(SandboxValue::True);
    ThinLayout thin; // offsets from the start of the file
    qint64 headerSize = 0;
    bool bigEndian = false;
    bool fat64 = false;
    FatLayout fat;
};

Fixture makeFixture(Kind kind)
{
    Fixture f;
    ThinOptions options = thinFor(kind == Kind::Thin32BigEndian ? cpuPowerPC : cpuArm64, f.xml);
    f.bigEndian = options.bigEndian;
    f.headerSize = options.is64 ? 32 : 28;
    f.bytes = buildThin(options, &f.thin);
    if (kind == Kind::Fat || kind == Kind::Fat64) {
        f.fat64 = kind == Kind::Fat64;
        FatOptions fatOptions;
        fatOptions.is64 = f.fat64;
        f.bytes = buildFat(
            {{cpuArm64, f.bytes}, {cpuX86_64, buildThin(thinFor(cpuX86_64, sliceXml(1)))}}, fatOptions, &f.fat);
        const qint64 base = f.fat.sliceOffsets[0];
        for (qint64 *field :
            {&f.thin.ncmds, &f.thin.sizeofcmds, &f.thin.codeSignatureCommand, &f.thin.dataoff,
                &f.thin.datasize, &f.thin.superBlob, &f.thin.superBlobLength, &f.thin.superBlobCount,
                &f.thin.entitlementsIndexOffset, &f.thin.entitlementsBlob, &f.thin.entitlementsLength})
            *field += base;
        f.headerSize += base;
    }
    return f;
}

void apply(Fixture &f, const Patch &patch)
{
    const auto be32 = [&](qint64 at) { put32(f.bytes, at, quint32(patch.value), true); };
    const auto own32 = [&](qint64 at) { put32(f.bytes, at, quint32(patch.value), f.bigEndian); };
    const auto fatField = [&](qint64 at) {
        if (f.fat64)
            put64(f.bytes, at, patch.value, true);
        else
            put32(f.bytes, at, quint32(patch.value), true);
    };
    switch (patch.field) {
    case Field::Ncmds: own32(f.thin.ncmds); break;
    case Field::Sizeofcmds: own32(f.thin.sizeofcmds); break;
    case Field::FirstCmdsize: own32(f.headerSize + 4); break;
    case Field::SignatureCmdsize: own32(f.thin.codeSignatureCommand + 4); break;
    case Field::Dataoff: own32(f.thin.dataoff); break;
    case Field::Datasize: own32(f.thin.datasize); break;
    case Field::SuperBlobMagic: be32(f.thin.superBlob); break;
    case Field::SuperBlobLength: be32(f.thin.superBlobLength); break;
    case Field::SuperBlobCount: be32(f.thin.superBlobCount); break;
    case Field::EntitlementsIndexOffset: be32(f.thin.entitlementsIndexOffset); break;
    case Field::EntitlementsMagic: be32(f.thin.entitlementsBlob); break;
    case Field::EntitlementsLength: be32(f.thin.entitlementsLength); break;
    case Field::FatCount: be32(4); break;
    case Field::FatSliceOffset: fatField(f.fat.archOffsetFields[0]); break;
    case Field::FatSliceSize: fatField(f.fat.archSizeFields[0]); break;
    }
}

QString findTool(const QString &name)
{
    return QStandardPaths::findExecutable(name);
}

// Runs a tool with its temporary files kept in `tempDir`; gives its output, or a null array.
QByteArray runTool(const QString &program, const QStringList &arguments, const QString &tempDir)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), tempDir);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(tempDir);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        qWarning().noquote() << program << arguments.join(QLatin1Char(' '))
                             << "failed:" << QString::fromLocal8Bit(process.readAllStandardError());
        return {};
    }
    QByteArray output = process.readAllStandardOutput();
    return output.isNull() ? QByteArray("") : output;
}

} // namespace

namespace QTest {
template<>
char *toString(const std::optional<QByteArray> &value)
{
    return qstrdup(value ? ("\"" + value->left(200) + "\"").constData() : "nothing");
}
} // namespace QTest

Q_DECLARE_METATYPE(Kind)
Q_DECLARE_METATYPE(Patch)

class MachOSignatureTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Thin files
    void thin_readsEntitlements_data()
    {
        QTest::addColumn<quint32>("cpu");
        QTest::addColumn<int>("commandsBefore");
        QTest::addColumn<int>("sandbox");
        QTest::newRow("64-bit little-endian arm64") << cpuArm64 << 2 << int(SandboxValue::True);
        QTest::newRow("64-bit little-endian x86_64") << cpuX86_64 << 2 << int(SandboxValue::False);
        QTest::newRow("64-bit big-endian ppc64") << cpuPowerPC64 << 2 << int(SandboxValue::IntegerOne);
        QTest::newRow("32-bit little-endian i386") << cpuI386 << 2 << int(SandboxValue::IntegerZero);
        QTest::newRow("32-bit little-endian arm") << cpuArm << 2 << int(SandboxValue::StringTrue);
        QTest::newRow("32-bit big-endian ppc") << cpuPowerPC << 2 << int(SandboxValue::Absent);
        QTest::newRow("signature is the only command") << cpuArm64 << 0 << int(SandboxValue::True);
        QTest::newRow("signature after 300 commands") << cpuX86_64 << 300 << int(SandboxValue::True);
    }
    void thin_readsEntitlements()
    {
        QFETCH(quint32, cpu);
        QFETCH(int, commandsBefore);
        QFETCH(int, sandbox);
        const QByteArray xml = entitlementsXml(SandboxValue(sandbox));
        ThinOptions options = thinFor(cpu, xml);
        options.commandsBefore = commandsBefore;
        const QByteArray bytes = buildThin(options);
        QCOMPARE(readEntitlementsFromBytes(bytes), std::optional<QByteArray>(xml));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("exe"));
        QVERIFY(writeFile(path, bytes));
        EntitlementsReadStats stats;
        QCOMPARE(readEntitlementsFromFile(path, MachOCpu::Arm64, &stats), std::optional<QByteArray>(xml));
        QVERIFY(stats.signatureFound);
    }

    void thin_withoutEntitlements_data()
    {
        QTest::addColumn<quint32>("cpu");
        QTest::addColumn<int>("signing");
        QTest::newRow("unsigned 64-bit") << cpuArm64 << int(Signing::Unsigned);
        QTest::newRow("unsigned 32-bit big-endian") << cpuPowerPC << int(Signing::Unsigned);
        QTest::newRow("signed, no entitlements, 64-bit") << cpuX86_64 << int(Signing::WithoutEntitlements);
        QTest::newRow("signed, no entitlements, 32-bit big-endian")
            << cpuPowerPC << int(Signing::WithoutEntitlements);
    }
    void thin_withoutEntitlements()
    {
        QFETCH(quint32, cpu);
        QFETCH(int, signing);
        ThinOptions options = thinFor(cpu, {});
        options.signing = Signing(signing);
        SpySource source(buildThin(options));
        EntitlementsReadStats stats;
        QCOMPARE(readEntitlements(source, MachOCpu::Arm64, &stats), std::nullopt);
        QCOMPARE(stats.signatureFound, options.signing != Signing::Unsigned);
    }

    void notMachO_givesNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("shell script") << QByteArray("#!/bin/sh\nexec true\n");
        QTest::newRow("ELF header") << QByteArray::fromHex(
            "7f454c4602010100000000000000000003003e0001000000");
        QTest::newRow("fat magic alone") << QByteArray::fromHex("cafebabe");
    }
    void notMachO_givesNothing()
    {
        QFETCH(QByteArray, bytes);
        QCOMPARE(readEntitlementsFromBytes(bytes), std::nullopt);
    }

    // Fat files
    void fat_choosesSlice_data()
    {
        QTest::addColumn<QList<quint32>>("cpus");
        QTest::addColumn<quint32>("preferred");
        QTest::addColumn<bool>("fat64");
        QTest::addColumn<bool>("littleEndian");
        QTest::addColumn<int>("alignPower");
        QTest::addColumn<int>("expected");
        const QList<quint32> armIntel {cpuArm64, cpuX86_64};
        QTest::newRow("preferred x86_64 after arm64") << armIntel << cpuX86_64 << false << false << 12 << 1;
        QTest::newRow("preferred arm64 last of three")
            << QList<quint32> {cpuI386, cpuX86_64, cpuArm64} << cpuArm64 << false << false << 12 << 2;
        QTest::newRow("preferred absent: arm64 before x86_64")
            << QList<quint32> {cpuI386, cpuX86_64, cpuArm64} << cpuPowerPC64 << false << false << 12 << 2;
        QTest::newRow("preferred x86_64 absent: arm64")
            << QList<quint32> {cpuPowerPC, cpuArm64} << cpuX86_64 << false << false << 12 << 1;
        QTest::newRow("no arm64: x86_64")
            << QList<quint32> {cpuI386, cpuPowerPC, cpuX86_64} << cpuArm64 << false << false << 12 << 2;
        QTest::newRow("neither: the first")
            << QList<quint32> {cpuPowerPC, cpuI386} << cpuArm64 << false << false << 12 << 0;
        QTest::newRow("preferred 32-bit big-endian slice")
            << QList<quint32> {cpuX86_64, cpuPowerPC} << cpuPowerPC << false << false << 12 << 1;
        QTest::newRow("fat64") << armIntel << cpuX86_64 << true << false << 14 << 1;
        QTest::newRow("fat byte-swapped") << armIntel << cpuX86_64 << false << true << 12 << 1;
        QTest::newRow("fat64 byte-swapped") << armIntel << cpuArm64 << true << true << 12 << 0;
        QTest::newRow("slices packed on 4 bytes") << armIntel << cpuX86_64 << false << false << 2 << 1;
    }
    void fat_choosesSlice()
    {
        QFETCH(QList<quint32>, cpus);
        QFETCH(quint32, preferred);
        QFETCH(bool, fat64);
        QFETCH(bool, littleEndian);
        QFETCH(int, alignPower);
        QFETCH(int, expected);
        QList<FatSlice> slices;
        for (int i = 0; i < cpus.size(); ++i)
            slices.append({cpus[i], buildThin(thinFor(cpus[i], sliceXml(i)))});
        const QByteArray bytes = buildFat(slices, {fat64, littleEndian, alignPower});
        QCOMPARE(readEntitlementsFromBytes(bytes, MachOCpu(preferred)),
            std::optional<QByteArray>(sliceXml(expected)));
    }

    // Damaged and hostile files
    void truncated_givesNothingOrTheAnswer_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<quint32>("preferred");
        QTest::addColumn<int>("slice"); // the slice read, or -1 for a thin file
        QTest::newRow("thin 64-bit") << Kind::Thin64 << cpuArm64 << -1;
        QTest::newRow("thin 32-bit big-endian") << Kind::Thin32BigEndian << cpuArm64 << -1;
        QTest::newRow("fat, first slice read") << Kind::Fat << cpuArm64 << 0;
        QTest::newRow("fat, last slice read") << Kind::Fat << cpuX86_64 << 1;
        QTest::newRow("fat64, last slice read") << Kind::Fat64 << cpuX86_64 << 1;
    }
    void truncated_givesNothingOrTheAnswer()
    {
        QFETCH(Kind, kind);
        QFETCH(quint32, preferred);
        QFETCH(int, slice);
        const Fixture f = makeFixture(kind);
        const QByteArray xml = slice == 1 ? sliceXml(1) : f.xml;
        // Only the slice read must be whole; a thin file ends with its signature.
        const qint64 needed
            = slice < 0 ? f.bytes.size() : f.fat.sliceOffsets[slice] + f.fat.sliceSizes[slice];
        for (qint64 cut = 0; cut <= f.bytes.size(); ++cut) {
            const std::optional<QByteArray> result
                = readEntitlementsFromBytes(f.bytes.left(cut), MachOCpu(preferred));
            const QByteArray where = "cut at " + QByteArray::number(cut);
            if (cut < needed)
                QVERIFY2(!result, where.constData());
            else
                QVERIFY2(result == xml, where.constData());
        }
    }

    void lyingFields_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QList<Patch>>("patches");
        const auto row = [](const char *name, Kind kind, QList<Patch> patches) {
            QTest::newRow(name) << kind << patches;
        };
        row("ncmds over the cap", Kind::Thin64, {{Field::Ncmds, 4097}});
        row("ncmds 0xffffffff", Kind::Thin64, {{Field::Ncmds, 0xffffffff}});
        row("sizeofcmds past the end", Kind::Thin64, {{Field::Sizeofcmds, 0x10000}});
        row("sizeofcmds 0xffffffff", Kind::Thin64, {{Field::Sizeofcmds, 0xffffffff}});
        row("sizeofcmds cuts the signature command", Kind::Thin64, {{Field::Sizeofcmds, 24 + 40 + 8}});
        row("cmdsize zero", Kind::Thin64, {{Field::FirstCmdsize, 0}});
        row("cmdsize past sizeofcmds", Kind::Thin64, {{Field::FirstCmdsize, 0x7ffffff8}});
        row("signature command too short", Kind::Thin64, {{Field::SignatureCmdsize, 12}});
        row("dataoff past the end", Kind::Thin64, {{Field::Dataoff, 0x100000}});
        row("datasize past the end", Kind::Thin64, {{Field::Datasize, 0x100000}});
        row("dataoff + datasize wraps at 32 bits", Kind::Thin64,
            {{Field::Dataoff, 0xfffffff0}, {Field::Datasize, 0x20}});
        row("datasize below a super-blob header", Kind::Thin64, {{Field::Datasize, 8}});
        row("datasize below the super-blob length", Kind::Thin64, {{Field::Datasize, 32}});
        row("super-blob magic wrong", Kind::Thin64, {{Field::SuperBlobMagic, 0xfade0cc1}});
        row("super-blob length past datasize", Kind::Thin64, {{Field::SuperBlobLength, 0x7fffffff}});
        row("super-blob length shorter than its index", Kind::Thin64, {{Field::SuperBlobLength, 20}});
        row("super-blob count 0xffffffff", Kind::Thin64, {{Field::SuperBlobCount, 0xffffffff}});
        row("super-blob count times 8 wraps", Kind::Thin64, {{Field::SuperBlobCount, 0x20000001}});
        row("entitlements offset wraps", Kind::Thin64, {{Field::EntitlementsIndexOffset, 0xfffffffc}});
        row("entitlements offset past the super-blob", Kind::Thin64,
            {{Field::EntitlementsIndexOffset, 0x10000}});
        row("entitlements offset at another blob", Kind::Thin64, {{Field::EntitlementsIndexOffset, 0}});
        row("entitlements magic wrong", Kind::Thin64, {{Field::EntitlementsMagic, 0xfade7172}});
        row("entitlements length below its header", Kind::Thin64, {{Field::EntitlementsLength, 4}});
        row("entitlements length past the super-blob", Kind::Thin64, {{Field::EntitlementsLength, 0x10000}});
        row("entitlements length 0xffffffff", Kind::Thin64, {{Field::EntitlementsLength, 0xffffffff}});
        row("32-bit big-endian: sizeofcmds 0xffffffff", Kind::Thin32BigEndian,
            {{Field::Sizeofcmds, 0xffffffff}});
        row("32-bit big-endian: dataoff + datasize wraps", Kind::Thin32BigEndian,
            {{Field::Dataoff, 0xfffffff0}, {Field::Datasize, 0x20}});
        row("32-bit big-endian: super-blob count huge", Kind::Thin32BigEndian,
            {{Field::SuperBlobCount, 0x10000000}});
        row("fat count zero", Kind::Fat, {{Field::FatCount, 0}});
        row("fat count over the cap", Kind::Fat, {{Field::FatCount, 65}});
        row("fat count 0xffffffff", Kind::Fat, {{Field::FatCount, 0xffffffff}});
        row("fat slice offset past the end", Kind::Fat, {{Field::FatSliceOffset, 0x7fffffff}});
        row("fat slice size past the end", Kind::Fat, {{Field::FatSliceSize, 0x7fffffff}});
        row("fat slice cuts its signature", Kind::Fat, {{Field::FatSliceSize, 256}});
        row("fat slice offset + size wraps at 32 bits", Kind::Fat,
            {{Field::FatSliceOffset, 0xfffff000}, {Field::FatSliceSize, 0x3000}});
        row("fat slice is the fat header", Kind::Fat, {{Field::FatSliceOffset, 0}});
        row("fat64 slice offset + size wraps at 64 bits", Kind::Fat64,
            {{Field::FatSliceOffset, 0xfffffffffffff000}, {Field::FatSliceSize, 0x3000}});
        row("fat64 slice size past the end", Kind::Fat64, {{Field::FatSliceSize, 0x7fffffffffffffff}});
    }
    void lyingFields()
    {
        QFETCH(Kind, kind);
        QFETCH(QList<Patch>, patches);
        Fixture f = makeFixture(kind);
        QCOMPARE(readEntitlementsFromBytes(f.bytes, MachOCpu::Arm64), std::optional<QByteArray>(f.xml));
        for (const Patch &patch : patches)
            apply(f, patch);
        QCOMPARE(readEntitlementsFromBytes(f.bytes, MachOCpu::Arm64), std::nullopt);

        // A source claiming a terabyte must not lure the reader into huge reads.
        SpySource huge(f.bytes, qint64(1) << 40);
        EntitlementsReadStats stats;
        readEntitlements(huge, MachOCpu::Arm64, &stats);
        QVERIFY2(huge.largestRead() <= 4 * 1024 * 1024, QByteArray::number(huge.largestRead()).constData());
        QVERIFY2(stats.bytesRead <= 8 * 1024 * 1024, QByteArray::number(stats.bytesRead).constData());
    }

    void entitlementsCap_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("read");
        QTest::newRow("exactly the cap") << maxEntitlementsSize << true;
        QTest::newRow("one byte over") << maxEntitlementsSize + 1 << false;
    }
    void entitlementsCap()
    {
        QFETCH(qint64, size);
        QFETCH(bool, read);
        const QByteArray xml(size, 'x');
        const std::optional<QByteArray> result = readEntitlementsFromBytes(buildThin(thinFor(cpuArm64, xml)));
        QCOMPARE(result.has_value(), read);
        if (read)
            QCOMPARE(*result, xml);
    }

    // Found by fuzzing: the reader hands back entitlements whatever their text, and a NUL
    // in a string of theirs made libplist abort the process when they were parsed. Now
    // the property-list reader refuses them: not sandboxed, as for any malformed blob.
    void entitlementsWithNul_areReadThenRefusedAsPropertyList()
    {
        const QByteArray xml = QByteArrayLiteral(
            "<?xml version=\"0.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
            "<plist version=\"1.0\">\n<dict>\n"
            "\t<key>com.apple.security.app-sandbox</key>\n\t<string>tr\x01\0\0\x07ue</string>\n"
            "\t<key>com.apple.security.network.client</key>\n\t<true/>\n</dict>\n</plist>\n");
        const std::optional<QByteArray> entitlements
            = readEntitlementsFromBytes(buildThin(thinFor(cpuArm64, xml)));
        QVERIFY(entitlements);
        QCOMPARE(*entitlements, xml);
        QVERIFY(!readPropertyList(*entitlements));
    }

    // Bundles
    void bundle_data()
    {
        QTest::addColumn<QByteArray>("executableValue"); // the plist value; null: no Info.plist
        QTest::addColumn<QString>("machOPath"); // where the Mach-O file is written
        QTest::addColumn<QString>("readPath");
        QTest::addColumn<bool>("found");
        const QString app = QStringLiteral("Demo.app");
        const QString exe = QStringLiteral("Demo.app/Contents/MacOS/Demo");
        QTest::newRow("executable named in Info.plist")
            << QByteArray("<string>Demo</string>") << exe << app << true;
        QTest::newRow("name with spaces and accents")
            << QByteArray("<string>Démo Ünö</string>") << "Demo.app/Contents/MacOS/Démo Ünö" << app << true;
        QTest::newRow("plain Mach-O path") << QByteArray() << QStringLiteral("tool") << QStringLiteral("tool") << true;
        QTest::newRow("missing Info.plist") << QByteArray() << exe << app << false;
        QTest::newRow("malformed Info.plist") << QByteArray("<string>Demo") << exe << app << false;
        QTest::newRow("missing executable")
            << QByteArray("<string>Demo</string>") << QString() << app << false;
        QTest::newRow("no CFBundleExecutable") << QByteArray("<!-- none -->") << exe << app << false;
        QTest::newRow("CFBundleExecutable a number")
            << QByteArray("<integer>5</integer>") << "Demo.app/Contents/MacOS/5" << app << false;
        QTest::newRow("CFBundleExecutable an array")
            << QByteArray("<array><string>Demo</string></array>") << exe << app << false;
        QTest::newRow("name climbing out of the bundle")
            << QByteArray("<string>../../../outside</string>") << "outside" << app << false;
        QTest::newRow("name is ..") << QByteArray("<string>..</string>") << exe << app << false;
        QTest::newRow("empty name") << QByteArray("<string></string>") << exe << app << false;
        QTest::newRow("name with a tab")
            << QByteArray("<string>De\tmo</string>") << "Demo.app/Contents/MacOS/De\tmo" << app << false;
        QTest::newRow("name with DEL")
            << QByteArray("<string>Demo\x7f</string>") << "Demo.app/Contents/MacOS/Demo\x7f" << app << false;
        QTest::newRow("Info.plist in UTF-16") << QByteArray("<string>Demo</string>") << exe << app << true;
    }
    void bundle()
    {
        QFETCH(QByteArray, executableValue);
        QFETCH(QString, machOPath);
        QFETCH(QString, readPath);
        QFETCH(bool, found);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Demo.app/Contents/MacOS")));
        const QByteArray xml = entitlementsXml(SandboxValue::True);
        if (!executableValue.isNull()) {
            const QByteArray plist
                = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                  "\t<key>CFBundleExecutable</key>\n\t"
                + executableValue
                + "\n\t<key>CFBundlePackageType</key>\n\t<string>APPL</string>\n</dict>\n</plist>\n";
            QVERIFY(writeFile(dir.filePath(QStringLiteral("Demo.app/Contents/Info.plist")),
                QByteArray(QTest::currentDataTag()).contains("UTF-16") ? "\xff\xfe"
                        + QByteArray(reinterpret_cast<const char *>(QString::fromUtf8(plist).utf16()),
                            plist.size() * 2)
                                                                       : plist));
        }
        if (!machOPath.isEmpty())
            QVERIFY(writeFile(dir.filePath(machOPath), buildThin(thinFor(cpuArm64, xml))));
        const std::optional<QByteArray> result = readBundleEntitlements(dir.filePath(readPath));
        QCOMPARE(result, found ? std::optional<QByteArray>(xml) : std::nullopt);
    }

    // Size: only headers, load commands and the signature are read
    void sparseFat_readsOnlyWhatItNeeds_data()
    {
        QTest::addColumn<quint32>("preferred");
        QTest::addColumn<int>("expected");
        QTest::newRow("arm64 slice") << cpuArm64 << 0;
        QTest::newRow("x86_64 slice") << cpuX86_64 << 1;
    }
    void sparseFat_readsOnlyWhatItNeeds()
    {
        QFETCH(quint32, preferred);
        QFETCH(int, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Big"));
        constexpr qint64 totalSize = 500'000'000;
        QVERIFY(writeSparseFat(
            path, {thinFor(cpuArm64, sliceXml(0)), thinFor(cpuX86_64, sliceXml(1))}, totalSize));
        QCOMPARE(QFileInfo(path).size(), totalSize);
        EntitlementsReadStats stats;
        QCOMPARE(readEntitlementsFromFile(path, MachOCpu(preferred), &stats),
            std::optional<QByteArray>(sliceXml(expected)));
        QVERIFY(stats.signatureFound);
        QVERIFY2(stats.bytesRead < 64 * 1024, QByteArray::number(stats.bytesRead).constData());
    }

    // Agreement with tools that are not ours
    void objdump_seesOurCodeSignatureCommand_data()
    {
        QTest::addColumn<quint32>("cpu");
        QTest::newRow("64-bit arm64") << cpuArm64;
        QTest::newRow("32-bit i386") << cpuI386;
        QTest::newRow("64-bit big-endian ppc64") << cpuPowerPC64;
    }
    void objdump_seesOurCodeSignatureCommand()
    {
        QFETCH(quint32, cpu);
        const QString objdump = findTool(QStringLiteral("llvm-objdump-14"));
        if (objdump.isEmpty())
            QSKIP("llvm-objdump-14 is not installed (Debian package llvm-14)");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("exe"));
        ThinLayout layout;
        QVERIFY(writeFile(path, buildThin(thinFor(cpu, entitlementsXml(SandboxValue::True)), &layout)));
        const QString output = QString::fromUtf8(runTool(
            objdump, {QStringLiteral("--macho"), QStringLiteral("--private-headers"), path}, dir.path()));
        const QRegularExpression command(
            QStringLiteral(R"(cmd LC_CODE_SIGNATURE\s+cmdsize 16\s+dataoff (\d+)\s+datasize (\d+))"));
        const QRegularExpressionMatch match = command.match(output);
        QVERIFY2(match.hasMatch(), qPrintable(output));
        QCOMPARE(match.captured(1).toLongLong(), layout.dataoffValue);
        QCOMPARE(match.captured(2).toLongLong(), layout.datasizeValue);
    }

    void toolchainFiles_signedWithoutEntitlements_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<quint32>("preferred");
        QTest::addColumn<bool>("signature");
        QTest::newRow("arm64, signed by lld") << "arm64" << cpuArm64 << true;
        QTest::newRow("x86_64 with -adhoc_codesign") << "x86_64" << cpuX86_64 << true;
        QTest::newRow("x86_64 unsigned") << "x86_64-unsigned" << cpuX86_64 << false;
        QTest::newRow("lipo fat, arm64 slice") << "fat" << cpuArm64 << true;
        QTest::newRow("lipo fat, x86_64 slice") << "fat" << cpuX86_64 << true;
    }
    void toolchainFiles_signedWithoutEntitlements()
    {
        QFETCH(QString, file);
        QFETCH(quint32, preferred);
        QFETCH(bool, signature);
        if (!m_toolchainTried)
            buildToolchainFiles();
        if (!m_toolchainMissing.isEmpty())
            QSKIP(qPrintable(m_toolchainMissing));
        EntitlementsReadStats stats;
        QCOMPARE(readEntitlementsFromFile(m_toolchainDir.filePath(file), MachOCpu(preferred), &stats),
            std::nullopt);
        QCOMPARE(stats.signatureFound, signature);
    }

private:
    // Links a do-nothing program for both architectures and joins them, once.
    void buildToolchainFiles()
    {
        m_toolchainTried = true;
        const QString clang = findTool(QStringLiteral("clang-14"));
        const QString lipo = findTool(QStringLiteral("llvm-lipo-14"));
        if (clang.isEmpty() || lipo.isEmpty() || findTool(QStringLiteral("ld64.lld-14")).isEmpty()) {
            m_toolchainMissing = QStringLiteral("clang-14, ld64.lld-14 or llvm-lipo-14 is not installed "
                                                "(Debian packages clang-14, lld-14, llvm-14)");
            return;
        }
        const QString dir = m_toolchainDir.path();
        QFile source(m_toolchainDir.filePath(QStringLiteral("main.c")));
        QVERIFY(source.open(QIODevice::WriteOnly) && source.write("int main(void) { return 0; }\n") > 0);
        source.close();
        const auto link = [&](const char *target, const char *output, QStringList extra) {
            const QStringList arguments = QStringList {QStringLiteral("-target"), QLatin1String(target),
                                              QStringLiteral("-fuse-ld=lld"), QStringLiteral("-nostdlib"),
                                              QStringLiteral("-Wl,-e,_main"), QStringLiteral("-o"),
                                              QLatin1String(output), QStringLiteral("main.c")}
                + extra;
            return !runTool(clang, arguments, dir).isNull();
        };
        const bool ok = link("arm64-apple-macos11", "arm64", {})
            && link("x86_64-apple-macos11", "x86_64", {QStringLiteral("-Wl,-adhoc_codesign")})
            && link("x86_64-apple-macos11", "x86_64-unsigned", {})
            && !runTool(lipo,
                {QStringLiteral("-create"), QStringLiteral("arm64"), QStringLiteral("x86_64"),
                    QStringLiteral("-output"), QStringLiteral("fat")},
                dir)
                    .isNull();
        if (!ok)
            m_toolchainMissing
                = QStringLiteral("the installed clang-14/lld-14 could not link a macOS program");
    }

    QTemporaryDir m_toolchainDir;
    bool m_toolchainTried = false;
    QString m_toolchainMissing;
};

TANDREL_TEST_MAIN(MachOSignatureTest)
#include "tst_machosignature.moc"
