#include "support/FakeBundle.h"

#include "formats/Icns.h"
#include "model/bundle/WrapperTemplates.h"
#include "platform/FileSystem.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>
#include <QUuid>

#include <plist/plist.h>

#include <cstdlib>

namespace tandrel::test {
namespace {

// The content of each fake home file names the file, so a swapped file shows up too.
QByteArray fakeHomeContent(const QString &relative)
{
    return "Contents of " + relative.toUtf8() + '\n';
}

QString parentOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    fs::createDirectory(parentOf(path));
    fs::writeBytes(path, bytes);
}

QString shellSingleQuoted(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QByteArray recordingScript(const QString &recordFile)
{
    return QStringLiteral("#!/bin/sh\n"
                          "# Records how it was started; the file appears whole.\n"
                          "record=%1\n"
                          "{\n"
                          "  printf 'HOME=%s\\n' \"$HOME\"\n"
                          "  for argument in \"$@\"; do printf 'ARG=%s\\n' \"$argument\"; done\n"
                          "} > \"$record.part\" && mv \"$record.part\" \"$record\"\n")
        .arg(shellSingleQuoted(recordFile))
        .toUtf8();
}

plist_t toPlist(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return plist_new_uint(value.toULongLong());
    case QMetaType::Double:
        return plist_new_real(value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), uint64_t(bytes.size()));
    }
    case QMetaType::QDateTime: {
        // libplist counts from 2001-01-01 UTC, the reference date of property lists.
        const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
        const qint64 ms = reference.msecsTo(value.toDateTime());
        return plist_new_date(int32_t(ms / 1000), int32_t((ms % 1000) * 1000));
    }
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        plist_t array = plist_new_array();
        for (const QVariant &item : value.toList())
            plist_array_append_item(array, toPlist(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            plist_dict_set_item(dict, it.key().toUtf8().constData(), toPlist(it.value()));
        return dict;
    }
    default:
        return plist_new_string(value.toString().toUtf8().constData());
    }
}

} // namespace

QStringList fakeHomeFiles()
{
    return { QStringLiteral("Downloads/setup.dmg"), QStringLiteral("Downloads/notes.txt"),
        QStringLiteral("Documents/Report.txt"), QStringLiteral("Documents/Taxes/2024.csv"),
        QStringLiteral("Desktop/todo.txt") };
}

QString makeFakeHome(const QString &path)
{
    for (const QString &relative : fakeHomeFiles())
        writeFile(path + QLatin1Char('/') + relative, fakeHomeContent(relative));
    return path;
}

bool fakeHomeIntact(const QString &home)
{
    for (const QString &relative : fakeHomeFiles()) {
        QFile file(home + QLatin1Char('/') + relative);
        if (!file.open(QIODevice::ReadOnly) || file.readAll() != fakeHomeContent(relative))
            return false;
    }
    return true;
}

QString makeWrapper(const QString &spacesDir, const QString &name, const QString &id,
    const std::optional<QByteArray> &recordMembers)
{
    const QString wrapper = spacesDir + QLatin1Char('/') + name + QStringLiteral(".app");
    writeFile(wrapper + QStringLiteral("/Contents/Info.plist"), infoPlistText(name, id).toUtf8());
    if (recordMembers) {
        QByteArray members = "\"id\": \"" + id.toUtf8() + '"';
        if (!recordMembers->isEmpty())
            members += ", " + *recordMembers;
        writeFile(wrapper + QStringLiteral("/Contents/Resources/space.json"), '{' + members + '}');
    }
    return wrapper;
}

QString newInstanceId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
}

QString makeFakeBundle(const QString &parentFolder, const QString &name, const FakeBundleOptions &options)
{
    const QString bundle = parentFolder + QLatin1Char('/') + name + QStringLiteral(".app");
    const QString contents = bundle + QStringLiteral("/Contents");
    fs::createDirectory(contents + QStringLiteral("/MacOS"));
    fs::createDirectory(contents + QStringLiteral("/Resources"));

    QVariantMap info = options.extraKeys;
    info.insert(QStringLiteral("CFBundlePackageType"), QStringLiteral("APPL"));
    info.insert(QStringLiteral("CFBundleName"), name);
    if (!options.executable.isEmpty())
        info.insert(QStringLiteral("CFBundleExecutable"), options.executable);
    if (!options.identifier.isEmpty())
        info.insert(QStringLiteral("CFBundleIdentifier"), options.identifier);
    if (!options.iconFile.isEmpty())
        info.insert(QStringLiteral("CFBundleIconFile"), options.iconFile);
    fs::writeBytes(contents + QStringLiteral("/Info.plist"), encodePropertyList(info, options.binaryPlist));

    if (!options.executable.isEmpty() && !options.omitExecutable) {
        const QString executable = contents + QStringLiteral("/MacOS/") + options.executable;
        const QString record = options.recordFile.isEmpty() ? launchRecordPath(bundle) : options.recordFile;
        fs::writeBytes(executable, options.executableBytes.value_or(recordingScript(record)));
        fs::setPosixPermissions(executable, 0755);
    }

    if (!options.iconFile.isEmpty() && (!options.iconSizes.isEmpty() || options.iconBytes)) {
        QString file = options.iconFile;
        if (!file.contains(QLatin1Char('.')))
            file += QStringLiteral(".icns");
        QList<QImage> images;
        for (int size : options.iconSizes)
            images.append(fakeIconImage(size));
        const QByteArray bytes = options.iconBytes.value_or(icnsFromImages(images));
        if (bytes.isEmpty())
            std::abort(); // a size the writer does not know: the fixture itself is wrong
        fs::writeBytes(contents + QStringLiteral("/Resources/") + file, bytes);
    }

    switch (options.marker) {
    case BundleMarker::None:
        break;
    case BundleMarker::Electron:
        fs::createDirectory(contents + QStringLiteral("/Frameworks/Electron Framework.framework"));
        break;
    case BundleMarker::Xul:
        fs::writeBytes(contents + QStringLiteral("/MacOS/XUL"), QByteArrayLiteral("XUL"));
        break;
    }
    return bundle;
}

QVariantMap richInfoKeys(const QString &executable)
{
    const auto text = [](const char *value) { return QString::fromUtf8(value); };
    QVariantMap keys { { text("CFBundleExecutable"), executable },
        { text("CFBundleIdentifier"), text("io.example.studio") }, { text("CFBundleName"), text("Studio") },
        { text("NSHumanReadableCopyright"),
            text("Copyright © 2024 Example Software Ltd. All rights reserved.") },
        { text("NSHighResolutionCapable"), true }, { text("LSFileQuarantineEnabled"), false },
        { text("CFBundleSupportedPlatforms"), QVariantList { text("MacOSX") } },
        { text("LSMinimumSystemVersionByArchitecture"),
            QVariantMap { { text("arm64"), text("11.0.0") }, { text("x86_64"), text("10.15.0") } } } };
    for (const char *key : { "CFBundleDisplayName", "CFBundleIconFile", "CFBundleIconName",
             "CFBundlePackageType", "CFBundleSignature", "CFBundleShortVersionString", "CFBundleVersion",
             "CFBundleDevelopmentRegion", "CFBundleInfoDictionaryVersion", "CFBundleHelpBookName",
             "CFBundleHelpBookFolder", "LSMinimumSystemVersion", "LSApplicationCategoryType",
             "NSPrincipalClass", "NSMainNibFile", "DTCompiler", "DTPlatformBuild", "DTPlatformName",
             "DTPlatformVersion", "DTSDKBuild", "DTSDKName", "DTXcode", "DTXcodeBuild", "BuildMachineOSBuild",
             "SUFeedURL", "SUPublicEDKey", "NSCameraUsageDescription", "NSMicrophoneUsageDescription",
             "NSAppleEventsUsageDescription", "NSContactsUsageDescription", "NSLocationUsageDescription",
             "CFBundleGetInfoString", "ATSApplicationFontsPath" })
        keys.insert(text(key), text(key).toLower() + text(" value for this app, as release tools write it"));
    QVariantList documents;
    QVariantList exported;
    for (int i = 0; i < 20; ++i) {
        const QString type = QStringLiteral("io.example.studio.document-%1").arg(i);
        documents.append(
            QVariantMap { { text("CFBundleTypeName"), QStringLiteral("Studio Document %1").arg(i) },
                { text("CFBundleTypeRole"), text("Editor") }, { text("LSHandlerRank"), text("Owner") },
                { text("CFBundleTypeIconFile"), text("Document.icns") },
                { text("LSItemContentTypes"), QVariantList { type } } });
        if (i < 8)
            exported.append(QVariantMap { { text("UTTypeIdentifier"), type },
                { text("UTTypeConformsTo"), QVariantList { text("public.data"), text("public.content") } },
                { text("UTTypeTagSpecification"),
                    QVariantMap { { text("public.filename-extension"),
                        QVariantList { QStringLiteral("sd%1").arg(i) } } } } });
    }
    keys.insert(text("CFBundleDocumentTypes"), documents);
    keys.insert(text("UTExportedTypeDeclarations"), exported);
    keys.insert(text("CFBundleURLTypes"),
        QVariantList { QVariantMap { { text("CFBundleURLName"), text("io.example.studio.link") },
            { text("CFBundleURLSchemes"), QVariantList { text("studio"), text("studio-beta") } } } });
    keys.insert(text("NSAppTransportSecurity"), QVariantMap { { text("NSAllowsArbitraryLoads"), false } });
    return keys;
}

QString launchRecordPath(const QString &bundlePath)
{
    return bundlePath + QStringLiteral(".launched");
}

std::optional<LaunchRecord> readLaunchRecord(const QString &recordFile)
{
    QFile file(recordFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    LaunchRecord record;
    for (const QString &line :
        QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("HOME=")))
            record.home = line.mid(5);
        else if (line.startsWith(QLatin1String("ARG=")))
            record.arguments.append(line.mid(4));
    }
    return record;
}

QColor fakeIconColor(int size)
{
    return QColor::fromHsv((size * 37) % 360, 200, 220);
}

QImage fakeIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(fakeIconColor(size));
    return image;
}

QByteArray encodePropertyList(const QVariantMap &map, bool binary)
{
    plist_t root = toPlist(map);
    char *data = nullptr;
    uint32_t length = 0;
    if (binary)
        plist_to_bin(root, &data, &length);
    else
        plist_to_xml(root, &data, &length);
    const QByteArray bytes(data, qsizetype(length));
    if (binary)
        plist_to_bin_free(data);
    else
        plist_to_xml_free(data);
    plist_free(root);
    return bytes;
}

} // namespace tandrel::test
