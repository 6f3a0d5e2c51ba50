// Writes the seed corpora of the fuzz targets, built with the test fixtures' own builders:
// tandrel-fuzz-seeds <folder> fills <folder>/propertylist, macho, spacerecord, icns, plistscan,
// import, links and desktopentry.
// Seeds are generated rather than committed, so they follow the builders.
#include "formats/Icns.h"
#include "formats/PropertyList.h"
#include "model/InstanceArchive.h"
#include "model/SpaceRecord.h"
#include "support/FakeBundle.h"
#include "support/MachOBuilder.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUuid>

#include <archive.h>
#include <archive_entry.h>

#include <cstdio>

using namespace tandrel;
using namespace tandrel::test;

namespace {

class SeedFolder
{
public:
    SeedFolder(const QString &root, const QString &name)
        : m_path(root + QLatin1Char('/') + name)
    {
        if (!QDir().mkpath(m_path))
            m_ok = false;
    }
    void add(const QString &name, const QByteArray &bytes)
    {
        if (bytes.isEmpty() || !writeFile(m_path + QLatin1Char('/') + name, bytes))
            m_ok = false;
        ++m_count;
    }
    bool ok() const { return m_ok; }
    int count() const { return m_count; }

private:
    QString m_path;
    bool m_ok = true;
    int m_count = 0;
};

const QList<std::pair<SandboxValue, const char *>> sandboxValues {
    { SandboxValue::True, "true" },
    { SandboxValue::False, "false" },
    { SandboxValue::IntegerZero, "int0" },
    { SandboxValue::IntegerOne, "int1" },
    { SandboxValue::StringTrue, "string" },
    { SandboxValue::Absent, "absent" },
};

QVariantMap infoPlist()
{
    return {
        { QStringLiteral("CFBundleExecutable"), QStringLiteral("Mail Ñ") },
        { QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.mail") },
        { QStringLiteral("CFBundleIconFile"), QStringLiteral("AppIcon") },
        { QStringLiteral("LSUIElement"), true },
        { QStringLiteral("count"), qint64(-5) },
        { QStringLiteral("big"), qint64(1) << 40 },
        { QStringLiteral("ratio"), 3.5 },
        { QStringLiteral("when"), QDateTime(QDate(2025, 3, 14), QTime(9, 26, 53), QTimeZone::utc()) },
        { QStringLiteral("blob"), QByteArray("\x00\x01\x02\xff", 4) },
        { QStringLiteral("list"), QVariantList { QStringLiteral("a"), qint64(2), false } },
        { QStringLiteral("nested"),
            QVariantMap { { QStringLiteral("k"), QStringLiteral("v") },
                { QStringLiteral("deeper"), QVariantMap { { QStringLiteral("x"), QVariantList {} } } } } },
    };
}

void writePropertyLists(SeedFolder &folder)
{
    for (const bool binary : { false, true }) {
        const QString kind = binary ? QStringLiteral("bin") : QStringLiteral("xml");
        folder.add(QStringLiteral("info-%1.plist").arg(kind), encodePropertyList(infoPlist(), binary));
        folder.add(QStringLiteral("empty-%1.plist").arg(kind), encodePropertyList({}, binary));
        for (const auto &[value, name] : sandboxValues) {
            const std::optional<QVariantMap> entitlements = readPropertyList(entitlementsXml(value));
            if (entitlements)
                folder.add(QStringLiteral("entitlements-%1-%2.plist").arg(QLatin1String(name), kind),
                    encodePropertyList(*entitlements, binary));
        }
    }
    for (const auto &[value, name] : sandboxValues)
        folder.add(
            QStringLiteral("entitlements-%1-raw.plist").arg(QLatin1String(name)), entitlementsXml(value));
    // Structures the builders do not write: top-level array, entities, comments, CDATA.
    folder.add(QStringLiteral("array.plist"),
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>");
    folder.add(QStringLiteral("entities.plist"),
        "<plist><dict><key>a&amp;b</key><string>&lt;&#65;&#x42;</string><!-- note -->"
        "<key>c</key><string><![CDATA[<raw>]]></string><key>d</key><data>AAEC\nAwQ=</data></dict></plist>");
}

// For the quick lookups: a large Info.plist as release tools write it and as people edit
// it (comments, CDATA, entities, CRLF), with byte-order marks and in UTF-16.
void writeScanSeeds(SeedFolder &folder)
{
    writePropertyLists(folder);
    const QVariantMap rich = richInfoKeys(QStringLiteral("Studio & Co"));
    folder.add(QStringLiteral("rich-bin.plist"), encodePropertyList(rich, true));
    QByteArray xml = encodePropertyList(rich, false);
    xml.replace("<dict>", "<dict><!-- edited -->");
    xml.replace("<string>Studio</string>", "<string><![CDATA[Stu]]>dio&#x20;&#65;</string>");
    folder.add(QStringLiteral("rich-xml.plist"), xml);
    folder.add(QStringLiteral("rich-xml-bom.plist"), "\xef\xbb\xbf\n" + xml);
    QByteArray crlf = xml;
    folder.add(QStringLiteral("rich-xml-crlf.plist"), crlf.replace("\n", "\r\n"));
    const QString text = QString::fromUtf8(xml);
    QByteArray utf16le("\xff\xfe");
    QByteArray utf16be("\xfe\xff");
    for (const QChar c : text) {
        const char high = char(c.unicode() >> 8);
        const char low = char(c.unicode() & 0xff);
        utf16le.append(low).append(high);
        utf16be.append(high).append(low);
    }
    folder.add(QStringLiteral("rich-utf16le.plist"), utf16le);
    folder.add(QStringLiteral("rich-utf16be.plist"), utf16be);
}

void writeMachOFiles(SeedFolder &folder)
{
    // Each seed starts with the byte that picks the preferred CPU (see fuzz_macho.cpp):
    // 0 x86_64, 1 arm64, 2 and 3 CPUs no slice has.
    const auto add = [&folder](const QString &name, const QByteArray &file, char preferred = 1) {
        folder.add(name, QByteArray(1, preferred) + file);
    };
    const QByteArray entitlements = entitlementsXml(SandboxValue::True);
    struct Thin
    {
        const char *name;
        quint32 cpu;
        bool is64;
        bool bigEndian;
    };
    const QList<Thin> thins {
        { "arm64", cpuArm64, true, false },
        { "x86_64", cpuX86_64, true, false },
        { "i386", cpuI386, false, false },
        { "ppc", cpuPowerPC, false, true },
        { "ppc64", cpuPowerPC64, true, true },
    };
    for (const Thin &thin : thins) {
        for (const Signing signing :
            { Signing::Unsigned, Signing::WithoutEntitlements, Signing::WithEntitlements }) {
            ThinOptions options;
            options.cpuType = thin.cpu;
            options.is64 = thin.is64;
            options.bigEndian = thin.bigEndian;
            options.signing = signing;
            options.entitlements = entitlements;
            const char *kind = signing == Signing::Unsigned ? "unsigned"
                : signing == Signing::WithoutEntitlements   ? "signed"
                                                            : "entitled";
            add(QStringLiteral("thin-%1-%2").arg(QLatin1String(thin.name), QLatin1String(kind)),
                buildThin(options));
        }
    }
    for (const auto &[value, name] : sandboxValues) {
        ThinOptions options;
        options.entitlements = entitlementsXml(value);
        options.commandsBefore = 0;
        add(QStringLiteral("thin-sandbox-%1").arg(QLatin1String(name)), buildThin(options));
    }

    ThinOptions arm;
    arm.entitlements = entitlements;
    ThinOptions intel = arm;
    intel.cpuType = cpuX86_64;
    intel.entitlements = entitlementsXml(SandboxValue::False);
    ThinOptions old;
    old.cpuType = cpuPowerPC;
    old.is64 = false;
    old.bigEndian = true;
    old.signing = Signing::Unsigned;
    const QList<FatSlice> slices { { cpuX86_64, buildThin(intel) }, { cpuArm64, buildThin(arm) },
        { cpuPowerPC, buildThin(old) } };
    for (const bool is64 : { false, true }) {
        for (const bool littleEndian : { false, true }) {
            FatOptions options;
            options.is64 = is64;
            options.littleEndian = littleEndian;
            options.alignPower = 4; // small seeds mutate faster; real files use 12 or 14
            const QString name = QStringLiteral("fat%1-%2")
                                     .arg(is64 ? QStringLiteral("64") : QStringLiteral("32"),
                                         littleEndian ? QStringLiteral("le") : QStringLiteral("be"));
            for (char preferred = 0; preferred < 4; ++preferred)
                add(name + QStringLiteral("-pref%1").arg(int(preferred)), buildFat(slices, options),
                    preferred);
        }
    }
    add(QStringLiteral("fat-one-slice-page-aligned"), buildFat({ { cpuArm64, buildThin(arm) } }));
    ThinOptions i386;
    i386.cpuType = cpuI386;
    i386.is64 = false;
    i386.entitlements = entitlements;
    FatOptions compact;
    compact.alignPower = 4;
    add(QStringLiteral("fat-no-known-cpu"),
        buildFat({ { cpuPowerPC, buildThin(old) }, { cpuI386, buildThin(i386) } }, compact), 2);
}

void writeSpaceRecords(SeedFolder &folder)
{
    SpaceRecord record;
    record.id = QUuid::createUuidV5(QUuid(), QStringLiteral("seed")).toString(QUuid::WithoutBraces);
    record.name = QStringLiteral("Work");
    record.target = QStringLiteral("/Applications/Mail Ñ.app");
    record.dataDir = QStringLiteral("/home/someone/Tandrel/Mail Work");
    record.createdAt = QDateTime(QDate(2025, 3, 14), QTime(9, 26, 53), QTimeZone::utc());
    for (const LaunchStrategy mode :
        { LaunchStrategy::IsolatedHome, LaunchStrategy::UserDataDir, LaunchStrategy::GeckoProfile }) {
        record.mode = mode;
        folder.add(QStringLiteral("record-%1.json").arg(strategyText(mode)), record.toJson());
    }
    const QList<std::pair<const char *, QByteArray>> odd {
        { "compact",
            R"({"createdAt":"2025-03-14T09:26:53+01:00","dataDir":"/d","mode":"home","target":"/t"})" },
        { "negative-offset", R"({"createdAt":"1999-12-31T23:59:59-09:30","target":"/t"})" },
        { "fraction", R"({"createdAt":"2025-03-14T09:26:53.123Z","target":"/t"})" },
        { "leap-day", R"({"createdAt":"2024-02-29T00:00:00Z","dataDir":"/d"})" },
        { "impossible-date", R"({"createdAt":"2023-02-29T24:00:00Z"})" },
        { "wrong-types", R"({"target":42,"dataDir":null,"createdAt":["2025-03-14T09:26:53Z"],"x":{}})" },
        { "escapes", R"({"target":"\u00d1\ud83d\ude00\"\\\/\b\f\n\r\t","dataDir":"\u0000"})" },
        { "duplicate-keys", R"({"target":"/a","target":"/b"})" },
        { "top-level-array", R"([{"target":"/t"}])" },
        { "nested", R"({"a":[[[[{"b":[1,2.5e10,-0,true,false,null]}]]]]})" },
        { "truncated", R"({"target":"/t")" },
        { "bom", "\xef\xbb\xbf{\"target\":\"/t\"}" },
        { "date-only-text", "2025-03-14T09:26:53Z" },
        { "date-offset-text", "2025-03-14T09:26:53+14:00" },
    };
    for (const auto &[name, bytes] : odd)
        folder.add(QStringLiteral("%1.json").arg(QLatin1String(name)), bytes);
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return {};
    return bytes;
}

QByteArray legacyElement(const char *type, const QByteArray &data)
{
    return icnsContainer({ { QByteArray(type), data } });
}

// 16 × 16 RGB as the old run-length format stores it: each channel in two literal runs
// of 128 bytes (a 0x7f count byte each), then its 8-bit mask.
QList<IcnsElement> legacySmallIcon()
{
    QByteArray rgb;
    for (int channel = 0; channel < 3; ++channel) {
        for (int run = 0; run < 2; ++run) {
            rgb.append(char(0x7f));
            rgb.append(128, char(0x40 * (channel + 1)));
        }
    }
    return { { "is32", rgb }, { "s8mk", QByteArray(256, char(0xff)) } };
}

void writeIcnsFiles(SeedFolder &folder)
{
    const auto icns = [](const QList<int> &sizes) {
        QList<QImage> images;
        for (const int size : sizes)
            images.append(fakeIconImage(size));
        return icnsFromImages(images);
    };
    folder.add(QStringLiteral("one-16.icns"), icns({ 16 }));
    folder.add(QStringLiteral("small-sizes.icns"), icns({ 16, 32, 64 }));
    folder.add(QStringLiteral("several.icns"), icns({ 16, 32, 128, 256 }));
    folder.add(QStringLiteral("large-first.icns"), icns({ 512, 16 }));
    folder.add(QStringLiteral("one-1024.icns"), icns({ 1024 }));
    folder.add(QStringLiteral("png-element.icns"), icnsWithOneImage(png(fakeIconImage(128)), 128));
    // A PNG whose size does not match its element type, as careless tools write.
    QImage wide(48, 20, QImage::Format_ARGB32);
    wide.fill(Qt::blue);
    folder.add(QStringLiteral("png-element-odd-size.icns"), icnsContainer({ { "ic07", png(wide) } }));
    const QByteArray several = icns({ 16, 32, 128 });
    folder.add(QStringLiteral("truncated.icns"), several.left(several.size() / 2));
    folder.add(QStringLiteral("legacy-is32.icns"), icnsContainer(legacySmallIcon()));
    folder.add(QStringLiteral("legacy-icn-mono.icns"), legacyElement("ICN#", QByteArray(256, char(0xaa))));
    folder.add(QStringLiteral("legacy-argb.icns"),
        legacyElement(
            "ic04", QByteArray("ARGB") + QByteArray(1, char(0x80 + 125)) + QByteArray(1, char(0xff))));
    folder.add(QStringLiteral("unknown-element.icns"),
        icnsContainer({ { "TOC ", QByteArray(8, '\0') }, { "zzzz", QByteArray("data") } }));
}

void writeDesktopEntries(SeedFolder &folder)
{
    const QByteArray head = "[Desktop Entry]\nType=Application\n";
    folder.add(QStringLiteral("chromium.desktop"),
        head
            + "Name=Chromium\nName[es]=Navegador\nExec=/usr/bin/chromium "
              "%U\nIcon=chromium\nMimeType=text/html;\n"
              "Actions=new;\n\n[Desktop Action new]\nName=New\nExec=/usr/bin/chromium --new-window\n");
    folder.add(QStringLiteral("env-quoted.desktop"),
        head
            + "Name=Env\nExec=env A=1 \"/opt/My Apps/app\" --zoom=100%% \"a \\\"b\\\" \\$c\" "
              "%f\nDBusActivatable=true\n");
    folder.add(QStringLiteral("flatpak.desktop"),
        head + "Name=Boxed\nExec=flatpak run org.example.Boxed\nX-Flatpak=org.example.Boxed\n");
    folder.add(QStringLiteral("snap.desktop"),
        head + "Name=Snapped\nExec=/snap/bin/chat %U\nX-SnapInstanceName=chat\n");
    folder.add(QStringLiteral("instance.desktop"),
        head
            + "Name=Chromium - Work\nExec=env BREAKPAD_DUMP_LOCATION=/d/crash chromium "
              "--user-data-dir=/d/profile %U\n"
              "X-Tandrel-Instance=0f8fad5b-d9cb-469f-a165-70867728950e\nX-Tandrel-Name=Work\nX-Tandrel-Mode="
              "udd\n"
              "X-Tandrel-Data=/d\nX-Tandrel-Created=2025-03-14T09:26:53Z\n");
    folder.add(QStringLiteral("unbalanced.desktop"), head + "Name=Odd\nExec=\"prog %U\n");
}

// A small tar archive of the manifest and a few data items, written by libarchive with the
// given filter (ARCHIVE_FILTER_NONE for none), without the padding of a full last block.
QByteArray tarArchive(const QByteArray &manifest, int filter)
{
    QByteArray bytes(64 * 1024, '\0');
    size_t used = 0;
    archive *a = archive_write_new();
    archive_write_set_format_pax_restricted(a);
    archive_write_add_filter(a, filter);
    archive_write_set_bytes_in_last_block(a, 1);
    bool ok = archive_write_open_memory(a, bytes.data(), size_t(bytes.size()), &used) == ARCHIVE_OK;
    const struct
    {
        const char *path;
        mode_t type;
        QByteArray contents; // or a link's target
    } items[] = {
        { archiveManifestName, AE_IFREG, manifest },
        { "data", AE_IFDIR, {} },
        { "data/.config", AE_IFDIR, {} },
        { "data/.config/settings.ini", AE_IFREG, "[General]\nzoom=1.25\n" },
        { "data/caf\xc3\xa9 \xc3\xb1.txt", AE_IFREG, "\xc3\xa9" },
        { "data/settings", AE_IFLNK, ".config/settings.ini" },
    };
    for (const auto &item : items) {
        archive_entry *entry = archive_entry_new();
        archive_entry_copy_pathname(entry, item.path);
        archive_entry_set_filetype(entry, item.type);
        archive_entry_set_perm(entry, item.type == AE_IFDIR ? 0700 : 0644);
        archive_entry_set_mtime(entry, 1'741'944'413, 0);
        archive_entry_set_size(entry, item.type == AE_IFREG ? item.contents.size() : 0);
        if (item.type == AE_IFLNK)
            archive_entry_copy_symlink(entry, item.contents.constData());
        ok = ok && archive_write_header(a, entry) == ARCHIVE_OK;
        if (item.type == AE_IFREG)
            ok = ok
                && archive_write_data(a, item.contents.constData(), size_t(item.contents.size()))
                    == item.contents.size();
        archive_entry_free(entry);
    }
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    return ok ? bytes.left(qsizetype(used)) : QByteArray();
}

void writeArchives(SeedFolder &folder)
{
    const QByteArray manifest = R"({"format":1,"app":{"name":"Mail","identifier":"com.example.mail"},)"
                                R"("record":{"name":"Work","mode":"home"}})";
    folder.add(QStringLiteral("plain.tar"), tarArchive(manifest, ARCHIVE_FILTER_NONE));
    folder.add(QStringLiteral("gzip.tar.gz"), tarArchive(manifest, ARCHIVE_FILTER_GZIP));
    // And as the exporter writes one, zstd and all.
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data"));
    QFile settings(data + QStringLiteral("/.config/settings.ini"));
    QByteArray written;
    if (QDir().mkpath(data + QStringLiteral("/.config")) && settings.open(QIODevice::WriteOnly)
        && settings.write("[General]\nzoom=1.25\n") > 0) {
        settings.close();
        QFile::link(QStringLiteral(".config/settings.ini"), data + QStringLiteral("/settings"));
        const QString file = dir.filePath(QStringLiteral("export.tar.zst"));
        try {
            writeInstanceArchive(file, manifest, data, {});
            QFile archiveFile(file);
            if (archiveFile.open(QIODevice::ReadOnly))
                written = archiveFile.readAll();
        } catch (const std::exception &) {
        }
    }
    folder.add(QStringLiteral("export.tar.zst"), written);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tandrel-fuzz-seeds <folder>\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    SeedFolder propertyLists(root, QStringLiteral("propertylist"));
    SeedFolder machO(root, QStringLiteral("macho"));
    SeedFolder spaceRecords(root, QStringLiteral("spacerecord"));
    SeedFolder icns(root, QStringLiteral("icns"));
    SeedFolder scans(root, QStringLiteral("plistscan"));
    SeedFolder desktopEntries(root, QStringLiteral("desktopentry"));
    SeedFolder archives(root, QStringLiteral("import"));
    SeedFolder links(root, QStringLiteral("links"));
    // The first byte chooses: a link, a site, the rules file.
    links.add(QStringLiteral("link"), QByteArray(1, 0) + "https://www.example.com/a?b=c#d");
    links.add(QStringLiteral("site"), QByteArray("\x01*.Mail.Example.com"));
    links.add(QStringLiteral("rules"),
        QByteArray("\x02[{\"site\": \"example.com\", \"subdomains\": false, \"target\": "
                   "\"11111111-1111-4111-8111-111111111111\"}]"));
    writePropertyLists(propertyLists);
    writeScanSeeds(scans);
    writeMachOFiles(machO);
    writeSpaceRecords(spaceRecords);
    writeIcnsFiles(icns);
    writeDesktopEntries(desktopEntries);
    writeArchives(archives);
    bool ok = true;
    for (const SeedFolder *folder :
        { &propertyLists, &machO, &spaceRecords, &icns, &scans, &desktopEntries, &archives, &links })
        ok = ok && folder->ok();
    if (!ok) {
        std::fprintf(stderr, "tandrel-fuzz-seeds: could not write every seed under %s\n", argv[1]);
        return 1;
    }
    return 0;
}
