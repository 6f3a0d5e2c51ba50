#include "formats/PlistScan.h"

#include "formats/BinaryPlist.h"
#include "formats/PlistScanDetail.h"
#include "formats/PlistText.h"
#include "formats/PropertyList.h"

#include <QtEndian>

namespace tandrel {
namespace plistscan {
namespace {

// The binary scanner goes straight from the trailer to the root dictionary, its keys and
// the asked-for values, bounds-checking every offset, count and size against the object
// area; it never recurses and looks at no other object. So it answers for files the full
// reader refuses for a flaw elsewhere: an object no asked-for key leads to that is
// malformed, a reference cycle, nesting or expansion past the full reader's caps. The
// answer is still the value the file holds for the key, read from well-formed objects:
// such a file then gives its executable's name where the full reader would give nothing,
// which is never less safe. Where libplist would read the keys and values it does read
// differently from what the bytes say (a UTF-16 U+0080, which it turns into NUL, unpaired
// surrogates, which it drops, an ASCII NUL, where it cuts the text), the scan is not sure.
class BinaryScanner
{
public:
    BinaryScanner(QByteArrayView bytes, Lookup &lookup)
        : m_data(reinterpret_cast<const uchar *>(bytes.data()))
        , m_size(quint64(bytes.size()))
        , m_lookup(lookup)
    {
    }

    bool run()
    {
        const std::optional<binaryplist::Trailer> trailer = binaryplist::readTrailer(m_data, m_size);
        if (!trailer)
            return false;
        m_trailer = *trailer;
        m_refSize = trailer->refSize;
        m_objects = trailer->objects;
        m_table = trailer->offsetTable;
        const std::optional<Header> dictionary = headerOf(trailer->root);
        if (!dictionary || dictionary->kind != 0xd || !fitsRefs(*dictionary, 2))
            return false;
        for (quint64 i = 0; i < dictionary->count; ++i) {
            const quint64 key = readUInt(dictionary->contents + i * m_refSize, m_refSize);
            const quint64 value
                = readUInt(dictionary->contents + (dictionary->count + i) * m_refSize, m_refSize);
            int asked = -1;
            if (value >= m_objects || !matchKey(key, asked))
                return false;
            if (asked < 0)
                continue;
            if (m_lookup.found[size_t(asked)])
                return false; // twice
            m_lookup.found[size_t(asked)] = true;
            if (!readValue(value, m_lookup.values[size_t(asked)]))
                return false;
        }
        return true;
    }

private:
    using Header = binaryplist::ObjectHeader;

    // Callers check that [at, at + size) lies within the data.
    quint64 readUInt(quint64 at, quint64 size) const { return binaryplist::readUInt(m_data, at, size); }

    // True when `count` items of `unit` bytes from `at` end within the object area.
    bool fits(quint64 at, quint64 count, quint64 unit) const
    {
        return at <= m_table && count <= (m_table - at) / unit;
    }

    bool fitsRefs(const Header &header, quint64 perEntry) const
    {
        return header.count <= (m_table - header.contents) / m_refSize / perEntry;
    }

    std::optional<Header> headerOf(quint64 object) const
    {
        return binaryplist::objectHeader(m_data, m_trailer, object);
    }

    quint16 unit(const Header &header, quint64 i) const
    {
        return quint16(readUInt(header.contents + 2 * i, 2));
    }

    // UTF-16 text that libplist converts to what it says: no U+0080 (which it makes NUL),
    // surrogates only in pairs, no leading byte-order mark (which QString::fromUtf8 drops).
    bool faithfulUtf16(const Header &header) const
    {
        for (quint64 i = 0; i < header.count; ++i) {
            const quint16 u = unit(header, i);
            if (u == 0x80 || (i == 0 && u == 0xfeff) || (u >= 0xdc00 && u <= 0xdfff))
                return false;
            if (u >= 0xd800 && u <= 0xdbff) {
                if (i + 1 >= header.count || unit(header, i + 1) < 0xdc00 || unit(header, i + 1) > 0xdfff)
                    return false;
                ++i;
            }
        }
        return true;
    }

    // Whether the key object is a key the full reader reads as it is, and which asked-for
    // key it is (-1 for none).
    bool matchKey(quint64 object, int &asked) const
    {
        const std::optional<Header> key = headerOf(object);
        if (!key || (key->kind != 0x5 && key->kind != 0x6) || !fits(key->contents, key->count, key->kind - 4))
            return false;
        const char *text = reinterpret_cast<const char *>(m_data + key->contents);
        if (key->kind == 0x5) {
            const QByteArrayView bytes(text, qsizetype(key->count));
            if (bytes.contains('\0') || bytes.startsWith("\xef\xbb\xbf"))
                return false;
            asked = m_lookup.match(text, bytes.size());
            return true;
        }
        if (!faithfulUtf16(*key))
            return false;
        char ascii[64];
        bool isAscii = key->count <= sizeof ascii;
        for (quint64 i = 0; i < key->count; ++i) {
            const quint16 u = unit(*key, i);
            if (u == 0)
                return false; // libplist would abort on it
            if (u >= 0x80)
                isAscii = false;
            else if (isAscii)
                ascii[i] = char(u);
        }
        asked = isAscii ? m_lookup.match(ascii, qsizetype(key->count)) : -1;
        return true;
    }

    bool readValue(quint64 object, Value &value) const
    {
        const std::optional<Header> header = headerOf(object);
        if (!header)
            return false;
        const quint64 at = header->contents;
        switch (header->kind) {
        case 0x0: // false, true; not null or fill
            if (header->low != 0x8 && header->low != 0x9)
                return false;
            value.kind = header->low == 0x9 ? Kind::True : Kind::False;
            value.nonZero = header->low == 0x9;
            return true;
        case 0x1: { // integer of 1, 2, 4 or 8 bytes
            const quint64 size = quint64(1) << header->low;
            if (header->low > 3 || !fits(at, size, 1))
                return false;
            if (m_lookup.numbers) {
                value.kind = Kind::Integer;
                value.nonZero = readUInt(at, size) != 0;
            }
            return true;
        }
        case 0x2: // real of 4 or 8 bytes
            if ((header->low != 2 && header->low != 3) || !fits(at, quint64(1) << header->low, 1))
                return false;
            if (m_lookup.numbers) {
                value.kind = Kind::Real;
                value.nonZero = header->low == 2 ? qFromBigEndian<float>(m_data + at) != 0.0f
                                                 : qFromBigEndian<double>(m_data + at) != 0.0;
            }
            return true;
        case 0x3: // date
            return header->low == 0x3 && fits(at, 8, 1);
        case 0x4: // data
            return fits(at, header->count, 1);
        case 0x5: { // ASCII string; libplist cuts it at a NUL
            if (!fits(at, header->count, 1))
                return false;
            const QByteArrayView bytes(reinterpret_cast<const char *>(m_data + at), qsizetype(header->count));
            if (bytes.contains('\0'))
                return false;
            value.kind = Kind::String;
            value.string = QString::fromUtf8(bytes);
            return true;
        }
        case 0x6: { // UTF-16 string; libplist fails on an empty one
            if (header->count == 0 || !fits(at, header->count, 2) || !faithfulUtf16(*header))
                return false;
            value.kind = Kind::String;
            value.string.resize(qsizetype(header->count));
            for (quint64 i = 0; i < header->count; ++i)
                value.string[qsizetype(i)] = QChar(unit(*header, i));
            return true;
        }
        case 0x8: // UID
            return fits(at, quint64(header->low) + 1, 1);
        case 0xa: // array
        case 0xc: // set
            return fitsRefs(*header, 1);
        case 0xd: // dictionary
            return fitsRefs(*header, 2);
        default:
            return false;
        }
    }

    const uchar *m_data;
    quint64 m_size;
    Lookup &m_lookup;
    binaryplist::Trailer m_trailer;
    quint64 m_refSize = 0;
    quint64 m_objects = 0;
    quint64 m_table = 0;
};

} // namespace

bool scanBinary(QByteArrayView bytes, Lookup &lookup)
{
    return BinaryScanner(bytes, lookup).run();
}

namespace {

bool isAscii(QLatin1StringView key)
{
    for (const char c : key) {
        if (uchar(c) >= 0x80)
            return false;
    }
    return !key.isEmpty();
}

std::optional<Lookup> lookupFor(std::initializer_list<QLatin1StringView> keys)
{
    Lookup lookup;
    if (keys.size() > size_t(maxScannedKeys))
        return std::nullopt;
    for (const QLatin1StringView key : keys) {
        if (!isAscii(key))
            return std::nullopt;
        lookup.keys[size_t(lookup.count++)] = key;
    }
    return lookup;
}

bool scan(QByteArrayView bytes, Lookup &lookup)
{
    if (bytes.size() > maxPropertyListSize)
        return false;
    if (plisttext::isBinary(bytes))
        return scanBinary(bytes, lookup);
    const std::optional<plisttext::XmlText> xml = plisttext::xmlText(bytes);
    return xml && scanXml(xml->text(), xml->convertedFromUtf16(), lookup);
}

} // namespace
} // namespace plistscan

int PlistTopLevel::indexOf(QLatin1StringView key) const
{
    for (int i = 0; i < m_count; ++i) {
        if (m_keys[size_t(i)] == key)
            return i;
    }
    return -1;
}

std::optional<QString> PlistTopLevel::string(QLatin1StringView key) const
{
    const int index = indexOf(key);
    return index < 0 ? std::nullopt : m_values[size_t(index)];
}

void PlistTopLevel::set(QLatin1StringView key, std::optional<QString> value)
{
    const int index = indexOf(key);
    if (index >= 0) {
        m_values[size_t(index)] = std::move(value);
    } else if (m_count < maxScannedKeys) {
        m_keys[size_t(m_count)] = key;
        m_values[size_t(m_count++)] = std::move(value);
    }
}

std::optional<PlistTopLevel> scanTopLevel(QByteArrayView bytes, std::initializer_list<QLatin1StringView> keys)
{
    std::optional<plistscan::Lookup> lookup = plistscan::lookupFor(keys);
    if (!lookup || !plistscan::scan(bytes, *lookup))
        return std::nullopt;
    PlistTopLevel found;
    for (int i = 0; i < lookup->count; ++i) {
        if (!lookup->found[size_t(i)])
            continue;
        plistscan::Value &value = lookup->values[size_t(i)];
        found.set(lookup->keys[size_t(i)],
            value.kind == plistscan::Kind::String ? std::optional<QString>(std::move(value.string))
                                                  : std::nullopt);
    }
    return found;
}

std::optional<PlistTopLevel> readTopLevel(QByteArrayView bytes, std::initializer_list<QLatin1StringView> keys)
{
    if (std::optional<PlistTopLevel> scanned = scanTopLevel(bytes, keys))
        return scanned;
    const std::optional<QVariantMap> map
        = readPropertyList(QByteArray::fromRawData(bytes.data(), bytes.size()));
    if (!map)
        return std::nullopt;
    PlistTopLevel found;
    for (const QLatin1StringView key : keys) {
        const auto value = map->constFind(key);
        if (value == map->cend())
            continue;
        found.set(key,
            value->typeId() == QMetaType::QString ? std::optional<QString>(value->toString()) : std::nullopt);
    }
    return found;
}

std::optional<bool> scanSandboxEntitlement(QByteArrayView entitlements)
{
    plistscan::Lookup lookup;
    lookup.keys[0] = QLatin1StringView("com.apple.security.app-sandbox");
    lookup.count = 1;
    lookup.numbers = true;
    if (!plistscan::scan(entitlements, lookup))
        return std::nullopt;
    if (!lookup.found[0])
        return false;
    switch (lookup.values[0].kind) {
    case plistscan::Kind::True:
    case plistscan::Kind::Integer:
    case plistscan::Kind::Real:
        return lookup.values[0].nonZero;
    default:
        return false;
    }
}

bool sandboxEntitlementIn(const QVariantMap &entitlements)
{
    const QVariant value = entitlements.value(QStringLiteral("com.apple.security.app-sandbox"));
    // A Boolean or a number counts; text such as "true" does not.
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::LongLong:
        return value.toLongLong() != 0;
    case QMetaType::Double:
        return value.toDouble() != 0.0;
    default:
        return false;
    }
}

bool readSandboxEntitlement(QByteArrayView entitlements)
{
    if (const std::optional<bool> scanned = scanSandboxEntitlement(entitlements))
        return *scanned;
    const std::optional<QVariantMap> map
        = readPropertyList(QByteArray::fromRawData(entitlements.data(), entitlements.size()));
    return map && sandboxEntitlementIn(*map);
}

} // namespace tandrel
