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

// A value written `at` bytes past a field of the arm64 slice's layout, or, with no field,
// `at` bytes into the fat header (the count at 4, the first slice's offset at 16 and its
// size at 20; in fat64 both are eight bytes wide and the size is at 24).
struct Patch
{
    qint64 ThinLayout::*field;
    quint64 value;
    qint64 at = 0;
};

// A valid file with entitlementsXml(True) in its arm64 slice, made to tell the lies given.
QByteArray lyingFile(Kind kind, const QList<Patch> &patches)
{
    const ThinOptions options
        = thinFor(kind == Kind::Thin32BigEndian ? cpuPowerPC : cpuArm64, entitlementsXml(SandboxValue::True));
    ThinLayout thin;
    const QByteArray slice = buildThin(options, &thin);
    QByteArray bytes = slice;
    if (kind == Kind::Fat || kind == Kind::Fat64)
        bytes = buildFat({ { cpuArm64, slice }, { cpuX86_64, buildThin(thinFor(cpuX86_64, sliceXml(1))) } },
            { kind == Kind::Fat64 });
    const qint64 base = bytes.indexOf(slice);
    for (const Patch &patch : patches) {
        if (patch.field) // the signature is big-endian whatever the header's order
            put(bytes, base + thin.*patch.field + patch.at, quint32(patch.value),
                options.bigEndian || thin.*patch.field >= thin.superBlob);
        else if (kind == Kind::Fat64 && patch.at >= 16)
            put(bytes, patch.at, patch.value, true);
        else
            put(bytes, patch.at, quint32(patch.value), true);
    }
    return bytes;
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
Q_DECLARE_METATYPE(Signing)
Q_DECLARE_METATYPE(FatOptions)

class MachOSignatureTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Thin files, from bytes and from a file
    void thin_readsEntitlements_data()
    {
        QTest::addColumn<quint32>("cpu");
        QTest::addColumn<int>("commandsBefore");
        QTest::addColumn<Signing>("signing");
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<bool>("read");
        const Signing entitled = Signing::WithEntitlements;
        const QByteArray xml = entitlementsXml(SandboxValue::True);
        const QByteArray atCap(maxEntitlementsSize, 'x');
        QTest::newRow("64-bit little-endian arm64") << cpuArm64 << 2 << entitled << xml << true;
        QTest::newRow("64-bit big-endian ppc64") << cpuPowerPC64 << 2 << entitled << xml << true;
        QTest::newRow("32-bit big-endian ppc") << cpuPowerPC << 2 << entitled << xml << true;
        QTest::newRow("signature after 300 commands") << cpuX86_64 << 300 << entitled << xml << true;
        QTest::newRow("entitlements of exactly the cap") << cpuArm64 << 2 << entitled << atCap << true;
        QTest::newRow("entitlements one byte over") << cpuArm64 << 2 << entitled << atCap + 'x' << false;
        QTest::newRow("unsigned") << cpuArm64 << 2 << Signing::Unsigned << xml << false;
        QTest::newRow("signed without entitlements, 32-bit big-endian")
            << cpuPowerPC << 2 << Signing::WithoutEntitlements << xml << false;
    }
    void thin_readsEntitlements()
    {
        QFETCH(quint32, cpu);
        QFETCH(int, commandsBefore);
        QFETCH(Signing, signing);
        QFETCH(QByteArray, xml);
        QFETCH(bool, read);
        ThinOptions options = thinFor(cpu, xml);
        options.commandsBefore = commandsBefore;
        options.signing = signing;
        const QByteArray bytes = buildThin(options);
        const std::optional<QByteArray> expected = read ? std::optional(xml) : std::nullopt;
        QCOMPARE(readEntitlementsFromBytes(bytes), expected);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("exe"));
        QVERIFY(writeFile(path, bytes));
        EntitlementsReadStats stats;
        QCOMPARE(readEntitlementsFromFile(path, MachOCpu::Arm64, &stats), expected);
        QCOMPARE(stats.signatureFound, signing != Signing::Unsigned);
    }

    // Fat files
    void fat_choosesSlice_data()
    {
        QTest::addColumn<QList<quint32>>("cpus");
        QTest::addColumn<quint32>("preferred");
        QTest::addColumn<FatOptions>("options");
        QTest::addColumn<int>("expected");
        const QList<quint32> armIntel { cpuArm64, cpuX86_64 };
        QTest::newRow("preferred x86_64 after arm64") << armIntel << cpuX86_64 << FatOptions() << 1;
        QTest::newRow("preferred absent: arm64 before x86_64")
            << QList<quint32> { cpuI386, cpuX86_64, cpuArm64 } << cpuPowerPC64 << FatOptions() << 2;
        QTest::newRow("no arm64: x86_64")
            << QList<quint32> { cpuI386, cpuPowerPC, cpuX86_64 } << cpuArm64 << FatOptions() << 2;
        QTest::newRow("neither: the first")
            << QList<quint32> { cpuPowerPC, cpuI386 } << cpuArm64 << FatOptions() << 0;
        QTest::newRow("fat64") << armIntel << cpuX86_64 << FatOptions { true, false, 14 } << 1;
        QTest::newRow("little-endian fat header") << armIntel << cpuX86_64 << FatOptions { false, true } << 1;
    }
    void fat_choosesSlice()
    {
        QFETCH(QList<quint32>, cpus);
        QFETCH(quint32, preferred);
        QFETCH(FatOptions, options);
        QFETCH(int, expected);
        QList<FatSlice> slices;
        for (int i = 0; i < cpus.size(); ++i)
            slices.append({ cpus[i], buildThin(thinFor(cpus[i], sliceXml(i))) });
        QCOMPARE(readEntitlementsFromBytes(buildFat(slices, options), MachOCpu(preferred)),
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
        row("ncmds over the cap", Kind::Thin64, { { &ThinLayout::ncmds, 4097 } });
        row("sizeofcmds cuts the signature command", Kind::Thin64,
            { { &ThinLayout::sizeofcmds, 24 + 40 + 8 } });
        row("signature command too short", Kind::Thin64, { { &ThinLayout::codeSignatureCommand, 12, 4 } });
        row("dataoff past the end", Kind::Thin64, { { &ThinLayout::dataoff, 0x100000 } });
        row("datasize past the end", Kind::Thin64, { { &ThinLayout::datasize, 0x100000 } });
        row("32-bit big-endian: dataoff + datasize wraps at 32 bits", Kind::Thin32BigEndian,
            { { &ThinLayout::dataoff, 0xfffffff0 }, { &ThinLayout::datasize, 0x20 } });
        row("super-blob magic wrong", Kind::Thin64, { { &ThinLayout::superBlob, 0xfade0cc1 } });
        row("super-blob length past datasize", Kind::Thin64,
            { { &ThinLayout::superBlobLength, 0x7fffffff } });
        row("super-blob count 0xffffffff", Kind::Thin64, { { &ThinLayout::superBlobCount, 0xffffffff } });
        row("entitlements offset past the super-blob", Kind::Thin64,
            { { &ThinLayout::entitlementsIndexOffset, 0x10000 } });
        row("entitlements magic wrong", Kind::Thin64, { { &ThinLayout::entitlementsBlob, 0xfade7172 } });
        row("entitlements length past the super-blob", Kind::Thin64,
            { { &ThinLayout::entitlementsLength, 0x10000 } });
        row("fat count over the cap", Kind::Fat, { { nullptr, 65, 4 } });
        row("fat slice offset past the end", Kind::Fat, { { nullptr, 0x7fffffff, 16 } });
        row("fat slice offset + size wraps at 32 bits", Kind::Fat,
            { { nullptr, 0xfffff000, 16 }, { nullptr, 0x3000, 20 } });
        row("fat64 slice offset + size wraps at 64 bits", Kind::Fat64,
            { { nullptr, 0xfffffffffffff000, 16 }, { nullptr, 0x3000, 24 } });
        row("fat64 slice size past the end", Kind::Fat64, { { nullptr, 0x7fffffffffffffff, 24 } });
    }
    void lyingFields()
    {
        QFETCH(Kind, kind);
        QFETCH(QList<Patch>, patches);
        QCOMPARE(readEntitlementsFromBytes(lyingFile(kind, {}), MachOCpu::Arm64),
            std::optional(entitlementsXml(SandboxValue::True)));
        QCOMPARE(readEntitlementsFromBytes(lyingFile(kind, patches), MachOCpu::Arm64), std::nullopt);
    }

    // Size: only headers, load commands and the signature are read, whichever the slice
    void sparseFat_readsOnlyWhatItNeeds()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Big"));
        constexpr qint64 totalSize = 500'000'000;
        QVERIFY(writeSparseFat(
            path, { thinFor(cpuArm64, sliceXml(0)), thinFor(cpuX86_64, sliceXml(1)) }, totalSize));
        QCOMPARE(QFileInfo(path).size(), totalSize);
        for (const auto &[preferred, expected] :
            { std::pair(MachOCpu::Arm64, 0), std::pair(MachOCpu::X86_64, 1) }) {
            EntitlementsReadStats stats;
            QCOMPARE(readEntitlementsFromFile(path, preferred, &stats), std::optional(sliceXml(expected)));
            QVERIFY2(stats.bytesRead < 64 * 1024, QByteArray::number(stats.bytesRead).constData());
        }
    }
};

TANDREL_TEST_MAIN(MachOSignatureTest)
#include "tst_machosignature.moc"
