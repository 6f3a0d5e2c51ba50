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
        QTest::newRow("64-bit big-endian ppc64") << cpuPowerPC64 << 2 << int(SandboxValue::IntegerOne);
        QTest::newRow("32-bit big-endian ppc") << cpuPowerPC << 2 << int(SandboxValue::Absent);
        QTest::newRow("signature after 300 commands") << cpuX86_64 << 300 << int(SandboxValue::True);
        QTest::newRow("unsigned") << cpuArm64 << 2 << -int(Signing::Unsigned) - 1;
        QTest::newRow("signed without entitlements, 32-bit big-endian") << cpuPowerPC << 2 << -int(Signing::WithoutEntitlements) - 1;
    }
    void thin_readsEntitlements()
    {
        QFETCH(quint32, cpu);
        QFETCH(int, commandsBefore);
        QFETCH(int, sandbox);
        // A negative value: no entitlements, signed as -value - 1 says.
        const QByteArray xml = sandbox >= 0 ? entitlementsXml(SandboxValue(sandbox)) : QByteArray();
        ThinOptions options = thinFor(cpu, xml);
        options.commandsBefore = commandsBefore;
        if (sandbox < 0)
            options.signing = Signing(-sandbox - 1);
        const QByteArray bytes = buildThin(options);
        const std::optional<QByteArray> expected = sandbox >= 0 ? std::optional(xml) : std::nullopt;
        QCOMPARE(readEntitlementsFromBytes(bytes), expected);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("exe"));
        QVERIFY(writeFile(path, bytes));
        EntitlementsReadStats stats;
        QCOMPARE(readEntitlementsFromFile(path, MachOCpu::Arm64, &stats), expected);
        QCOMPARE(stats.signatureFound, options.signing != Signing::Unsigned);
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
        QTest::newRow("preferred absent: arm64 before x86_64")
            << QList<quint32> {cpuI386, cpuX86_64, cpuArm64} << cpuPowerPC64 << false << false << 12 << 2;
        QTest::newRow("no arm64: x86_64")
            << QList<quint32> {cpuI386, cpuPowerPC, cpuX86_64} << cpuArm64 << false << false << 12 << 2;
        QTest::newRow("neither: the first")
            << QList<quint32> {cpuPowerPC, cpuI386} << cpuArm64 << false << false << 12 << 0;
        QTest::newRow("fat64") << armIntel << cpuX86_64 << true << false << 14 << 1;
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
    void lyingFields_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QList<Patch>>("patches");
        const auto row = [](const char *name, Kind kind, QList<Patch> patches) {
            QTest::newRow(name) << kind << patches;
        };
        row("ncmds over the cap", Kind::Thin64, {{Field::Ncmds, 4097}});
        row("sizeofcmds cuts the signature command", Kind::Thin64, {{Field::Sizeofcmds, 24 + 40 + 8}});
        row("signature command too short", Kind::Thin64, {{Field::SignatureCmdsize, 12}});
        row("dataoff past the end", Kind::Thin64, {{Field::Dataoff, 0x100000}});
        row("dataoff + datasize wraps at 32 bits", Kind::Thin64,
            {{Field::Dataoff, 0xfffffff0}, {Field::Datasize, 0x20}});
        row("super-blob magic wrong", Kind::Thin64, {{Field::SuperBlobMagic, 0xfade0cc1}});
        row("super-blob length past datasize", Kind::Thin64, {{Field::SuperBlobLength, 0x7fffffff}});
        row("super-blob count 0xffffffff", Kind::Thin64, {{Field::SuperBlobCount, 0xffffffff}});
        row("entitlements magic wrong", Kind::Thin64, {{Field::EntitlementsMagic, 0xfade7172}});
        row("entitlements length past the super-blob", Kind::Thin64, {{Field::EntitlementsLength, 0x10000}});
        row("32-bit big-endian: dataoff + datasize wraps", Kind::Thin32BigEndian,
            {{Field::Dataoff, 0xfffffff0}, {Field::Datasize, 0x20}});
        row("fat count over the cap", Kind::Fat, {{Field::FatCount, 65}});
        row("fat slice offset past the end", Kind::Fat, {{Field::FatSliceOffset, 0x7fffffff}});
        row("fat slice offset + size wraps at 32 bits", Kind::Fat,
            {{Field::FatSliceOffset, 0xfffff000}, {Field::FatSliceSize, 0x3000}});
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

    // Files made by a real toolchain, not by our builder
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
