#include "formats/MachOSignature.h"
#include "formats/PropertyList.h"
#include "support/MachOBuilder.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>

using namespace tandrel;
using namespace tandrel::test;

namespace {

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
    Ncmds,
    Sizeofcmds,
    FirstCmdsize,
    SignatureCmdsize,
    Dataoff,
    Datasize,
    SuperBlobMagic,
    SuperBlobLength,
    SuperBlobCount,
    EntitlementsIndexOffset,
    EntitlementsMagic,
    EntitlementsLength,
    FatCount,
    FatSliceOffset,
    FatSliceSize,
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
        f.bytes
            = buildFat({ { cpuArm64, f.bytes }, { cpuX86_64, buildThin(thinFor(cpuX86_64, sliceXml(1))) } },
                fatOptions, &f.fat);
        const qint64 base = f.fat.sliceOffsets[0];
        for (qint64 *field :
            { &f.thin.ncmds, &f.thin.sizeofcmds, &f.thin.codeSignatureCommand, &f.thin.dataoff,
                &f.thin.datasize, &f.thin.superBlob, &f.thin.superBlobLength, &f.thin.superBlobCount,
                &f.thin.entitlementsIndexOffset, &f.thin.entitlementsBlob, &f.thin.entitlementsLength })
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
    case Field::Ncmds:
        own32(f.thin.ncmds);
        break;
    case Field::Sizeofcmds:
        own32(f.thin.sizeofcmds);
        break;
    case Field::FirstCmdsize:
        own32(f.headerSize + 4);
        break;
    case Field::SignatureCmdsize:
        own32(f.thin.codeSignatureCommand + 4);
        break;
    case Field::Dataoff:
        own32(f.thin.dataoff);
        break;
    case Field::Datasize:
        own32(f.thin.datasize);
        break;
    case Field::SuperBlobMagic:
        be32(f.thin.superBlob);
        break;
    case Field::SuperBlobLength:
        be32(f.thin.superBlobLength);
        break;
    case Field::SuperBlobCount:
        be32(f.thin.superBlobCount);
        break;
    case Field::EntitlementsIndexOffset:
        be32(f.thin.entitlementsIndexOffset);
        break;
    case Field::EntitlementsMagic:
        be32(f.thin.entitlementsBlob);
        break;
    case Field::EntitlementsLength:
        be32(f.thin.entitlementsLength);
        break;
    case Field::FatCount:
        be32(4);
        break;
    case Field::FatSliceOffset:
        fatField(f.fat.archOffsetFields[0]);
        break;
    case Field::FatSliceSize:
        fatField(f.fat.archSizeFields[0]);
        break;
    }
}

} // namespace

namespace QTest {
template <> char *toString(const std::optional<QByteArray> &value)
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
        QTest::newRow("signed without entitlements, 32-bit big-endian")
            << cpuPowerPC << 2 << -int(Signing::WithoutEntitlements) - 1;
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
        const QList<quint32> armIntel { cpuArm64, cpuX86_64 };
        QTest::newRow("preferred x86_64 after arm64") << armIntel << cpuX86_64 << false << false << 12 << 1;
        QTest::newRow("preferred absent: arm64 before x86_64")
            << QList<quint32> { cpuI386, cpuX86_64, cpuArm64 } << cpuPowerPC64 << false << false << 12 << 2;
        QTest::newRow("no arm64: x86_64")
            << QList<quint32> { cpuI386, cpuPowerPC, cpuX86_64 } << cpuArm64 << false << false << 12 << 2;
        QTest::newRow("neither: the first")
            << QList<quint32> { cpuPowerPC, cpuI386 } << cpuArm64 << false << false << 12 << 0;
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
            slices.append({ cpus[i], buildThin(thinFor(cpus[i], sliceXml(i))) });
        const QByteArray bytes = buildFat(slices, { fat64, littleEndian, alignPower });
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
        row("ncmds over the cap", Kind::Thin64, { { Field::Ncmds, 4097 } });
        row("sizeofcmds cuts the signature command", Kind::Thin64, { { Field::Sizeofcmds, 24 + 40 + 8 } });
        row("signature command too short", Kind::Thin64, { { Field::SignatureCmdsize, 12 } });
        row("dataoff past the end", Kind::Thin64, { { Field::Dataoff, 0x100000 } });
        row("datasize past the end", Kind::Thin64, { { Field::Datasize, 0x100000 } });
        row("dataoff + datasize wraps at 32 bits", Kind::Thin64,
            { { Field::Dataoff, 0xfffffff0 }, { Field::Datasize, 0x20 } });
        row("super-blob magic wrong", Kind::Thin64, { { Field::SuperBlobMagic, 0xfade0cc1 } });
        row("super-blob length past datasize", Kind::Thin64, { { Field::SuperBlobLength, 0x7fffffff } });
        row("super-blob count 0xffffffff", Kind::Thin64, { { Field::SuperBlobCount, 0xffffffff } });
        row("entitlements magic wrong", Kind::Thin64, { { Field::EntitlementsMagic, 0xfade7172 } });
        row("entitlements length past the super-blob", Kind::Thin64,
            { { Field::EntitlementsLength, 0x10000 } });
        row("32-bit big-endian: dataoff + datasize wraps", Kind::Thin32BigEndian,
            { { Field::Dataoff, 0xfffffff0 }, { Field::Datasize, 0x20 } });
        row("fat count over the cap", Kind::Fat, { { Field::FatCount, 65 } });
        row("fat slice offset past the end", Kind::Fat, { { Field::FatSliceOffset, 0x7fffffff } });
        row("fat slice offset + size wraps at 32 bits", Kind::Fat,
            { { Field::FatSliceOffset, 0xfffff000 }, { Field::FatSliceSize, 0x3000 } });
        row("fat64 slice offset + size wraps at 64 bits", Kind::Fat64,
            { { Field::FatSliceOffset, 0xfffffffffffff000 }, { Field::FatSliceSize, 0x3000 } });
        row("fat64 slice size past the end", Kind::Fat64, { { Field::FatSliceSize, 0x7fffffffffffffff } });
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
            path, { thinFor(cpuArm64, sliceXml(0)), thinFor(cpuX86_64, sliceXml(1)) }, totalSize));
        QCOMPARE(QFileInfo(path).size(), totalSize);
        EntitlementsReadStats stats;
        QCOMPARE(readEntitlementsFromFile(path, MachOCpu(preferred), &stats),
            std::optional<QByteArray>(sliceXml(expected)));
        QVERIFY(stats.signatureFound);
        QVERIFY2(stats.bytesRead < 64 * 1024, QByteArray::number(stats.bytesRead).constData());
    }
};

TANDREL_TEST_MAIN(MachOSignatureTest)
#include "tst_machosignature.moc"
