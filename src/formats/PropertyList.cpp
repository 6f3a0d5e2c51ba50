#include "formats/PropertyList.h"

#include "formats/BinaryPlist.h"
#include "formats/PlistText.h"
#include "formats/SmallFile.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>
#include <QVariantList>
#include <QXmlStreamReader>

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

namespace tandrel {
namespace {

// Real property lists nest a handful of levels and hold at most thousands of values;
// these bounds keep a crafted file from costing unbounded stack or memory.
constexpr int maxDepth = 64;
constexpr qint64 maxNodes = 1'000'000;

// libplist 2.2 builds its whole tree before we see any of it, recursing once per level
// and copying a binary object once for every reference to it. A few hundred bytes of
// arrays that each refer twice to the next expand to billions of nodes, and a deep
// enough nesting overflows the stack, whichever the format. So the structure is measured
// first, without recursion, against the same bounds the converter applies.

// XML: element nesting, as an XML parser sees it (libplist follows the same rules for
// comments, processing instructions, CDATA and the DOCTYPE). The plist and root dict
// elements and a leaf below the deepest container add three levels.
constexpr int maxXmlDepth = maxDepth + 3;

bool xmlNestingWithinBounds(const plisttext::XmlText &text)
{
    const QByteArrayView bytes = text.text();
    // XML allows no NUL character; libplist keeps one inside a string, whose text then
    // makes plist_get_string_val assert (aborting the process). Refused, as a strict
    // parser would; NULs may only pad the end of the file.
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0 && bytes.sliced(nul).count('\0') != bytes.size() - nul)
        return false;
    // Text converted from UTF-16 still declares UTF-16: given as a string, the parser keeps
    // to the encoding it has.
    QXmlStreamReader xml;
    if (text.convertedFromUtf16())
        xml.addData(QString::fromUtf8(bytes));
    else
        xml.addData(QByteArray::fromRawData(bytes.data(), bytes.size()));
    int depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > maxXmlDepth)
            return false;
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    if (!xml.hasError())
        return true;
    // Where the text stops being XML libplist may read on: count every '<' left as a
    // level it could open. The offset is in characters, never past the byte offset, so
    // the count can only come out high.
    const qsizetype stop = qsizetype(qBound<qint64>(0, xml.characterOffset(), bytes.size()));
    return depth + bytes.sliced(stop).count('<') <= maxXmlDepth;
}

// Binary: the object graph from the trailer, offset table and container objects, walked
// with an explicit stack. Refuses what libplist would expand past the node cap or nest
// past the depth cap, reference cycles, and anything malformed (which libplist refuses
// too). Integer sizes other than 1, 2, 4 and 8 bytes are refused rather than guessed at.
class BinaryPlistShape
{
public:
    explicit BinaryPlistShape(QByteArrayView bytes)
        : m_data(reinterpret_cast<const uchar *>(bytes.constData()))
        , m_size(quint64(bytes.size()))
    {
    }

    bool withinBounds()
    {
        const std::optional<binaryplist::Trailer> trailer = binaryplist::readTrailer(m_data, m_size);
        if (!trailer || trailer->objects > quint64(maxNodes))
            return false;
        m_trailer = *trailer;
        m_refSize = trailer->refSize;
        m_offsetTable = trailer->offsetTable;
        m_objects = trailer->objects;
        m_expanded.assign(m_objects, 0);
        m_height.assign(m_objects, 0);
        m_state.assign(m_objects, Unvisited);
        m_usableKey.assign(m_objects, false);
        return walk(trailer->root);
    }

private:
    enum State : quint8 { Unvisited, OnPath, Done };

    struct Frame
    {
        quint64 object = 0;
        quint64 refs = 0; // where the object's references start
        quint64 children = 0; // how many references it has
        quint64 next = 0; // the next reference to follow
        qint64 expanded = 1; // nodes libplist makes for it, itself included
        int height = 0; // levels below it
    };

    // Callers check that [at, at + size) lies within the data.
    quint64 readUInt(quint64 at, quint64 size) const { return binaryplist::readUInt(m_data, at, size); }

    using Header = binaryplist::ObjectHeader;

    std::optional<Header> headerOf(quint64 object) const
    {
        return binaryplist::objectHeader(m_data, m_trailer, object);
    }

    // Asked for a UTF-16 key holding U+0000, libplist asserts and so aborts the process
    // (an ASCII key it cuts at the NUL). Keys must be strings anyway.
    // Remembers the keys it has read, so one long key shared by many dictionaries is read
    // once.
    bool isUsableKey(quint64 object)
    {
        if (object >= m_objects)
            return false;
        if (m_usableKey[object])
            return true;
        const std::optional<Header> header = headerOf(object);
        if (!header || (header->kind != 0x5 && header->kind != 0x6))
            return false;
        const quint64 unit = header->kind == 0x6 ? 2 : 1; // ASCII, or UTF-16 code units
        if (header->count > (m_offsetTable - header->contents) / unit)
            return false;
        for (quint64 i = 0; i < header->count; ++i) {
            if (readUInt(header->contents + i * unit, unit) == 0)
                return false;
        }
        m_usableKey[object] = true;
        return true;
    }

    // The frame of an object, with its references when it is an array, set or dictionary.
    std::optional<Frame> frameFor(quint64 object)
    {
        const std::optional<Header> header = headerOf(object);
        if (!header)
            return std::nullopt;
        Frame frame;
        frame.object = object;
        if (header->kind != 0xa && header->kind != 0xc && header->kind != 0xd)
            return frame;
        const quint64 perEntry = header->kind == 0xd ? 2 : 1;
        if (header->count > (m_offsetTable - header->contents) / m_refSize / perEntry)
            return std::nullopt;
        frame.refs = header->contents;
        frame.children = header->count * perEntry;
        if (header->kind == 0xd) {
            // A dictionary's key references come first, then its values'.
            for (quint64 i = 0; i < header->count; ++i) {
                if (!isUsableKey(readUInt(frame.refs + i * m_refSize, m_refSize)))
                    return std::nullopt;
            }
        }
        return frame;
    }

    bool walk(quint64 root)
    {
        std::vector<Frame> path;
        const auto enter = [&](quint64 object) {
            std::optional<Frame> frame = frameFor(object);
            if (!frame || path.size() > size_t(maxDepth))
                return false;
            m_state[object] = OnPath;
            path.push_back(*frame);
            return true;
        };
        if (!enter(root))
            return false;
        while (!path.empty()) {
            Frame &top = path.back();
            if (top.next < top.children) {
                const quint64 child = readUInt(top.refs + top.next * m_refSize, m_refSize);
                ++top.next;
                if (child >= m_objects || m_state[child] == OnPath)
                    return false;
                if (m_state[child] == Done) {
                    // Measured already, under another parent: only its depth here is new.
                    if (path.size() + size_t(m_height[child]) > size_t(maxDepth))
                        return false;
                    top.expanded += m_expanded[child];
                    top.height = std::max(top.height, m_height[child] + 1);
                    if (top.expanded > maxNodes)
                        return false;
                } else if (!enter(child)) {
                    return false;
                }
                continue;
            }
            const Frame done = top;
            path.pop_back();
            m_state[done.object] = Done;
            m_expanded[done.object] = done.expanded;
            m_height[done.object] = done.height;
            if (!path.empty()) {
                Frame &parent = path.back();
                parent.expanded += done.expanded;
                parent.height = std::max(parent.height, done.height + 1);
                if (parent.expanded > maxNodes)
                    return false;
            }
        }
        return true;
    }

    const uchar *m_data;
    quint64 m_size;
    binaryplist::Trailer m_trailer;
    quint64 m_refSize = 0;
    quint64 m_offsetTable = 0;
    quint64 m_objects = 0;
    std::vector<qint64> m_expanded;
    std::vector<int> m_height;
    std::vector<State> m_state;
    std::vector<bool> m_usableKey;
};

struct PlistDeleter
{
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

struct MallocDeleter
{
    void operator()(char *text) const { std::free(text); }
};
using CText = std::unique_ptr<char, MallocDeleter>;

class Converter
{
public:
    // False when the tree is too deep or too large.
    bool convert(plist_t node, int depth, QVariant &out)
    {
        if (depth > maxDepth || ++m_nodes > maxNodes)
            return false;
        switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            uint8_t value = 0;
            plist_get_bool_val(node, &value);
            out = bool(value);
            return true;
        }
        case PLIST_UINT: {
            // Negative integers arrive as their two's complement bit pattern.
            uint64_t value = 0;
            plist_get_uint_val(node, &value);
            out = qint64(value);
            return true;
        }
        case PLIST_REAL: {
            double value = 0;
            plist_get_real_val(node, &value);
            out = value;
            return true;
        }
        case PLIST_STRING: {
            // Not plist_get_string_val: it asserts that the text holds no NUL.
            uint64_t length = 0;
            const char *text = plist_get_string_ptr(node, &length);
            if (length > uint64_t(maxPropertyListSize))
                return false;
            out = text ? QString::fromUtf8(text, qsizetype(length)) : QString();
            return true;
        }
        case PLIST_DATA: {
            char *raw = nullptr;
            uint64_t length = 0;
            plist_get_data_val(node, &raw, &length);
            CText data(raw);
            if (length > uint64_t(maxPropertyListSize))
                return false;
            out = data ? QByteArray(data.get(), qsizetype(length)) : QByteArray();
            return true;
        }
        case PLIST_DATE: {
            int32_t seconds = 0;
            int32_t microseconds = 0;
            plist_get_date_val(node, &seconds, &microseconds);
            // Property-list dates count from 2001-01-01 UTC.
            static const QDateTime epoch(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
            out = epoch.addMSecs(qint64(seconds) * 1000 + microseconds / 1000);
            return true;
        }
        case PLIST_ARRAY: {
            QVariantList list;
            const uint32_t count = plist_array_get_size(node);
            for (uint32_t i = 0; i < count; ++i) {
                QVariant item;
                if (!convert(plist_array_get_item(node, i), depth + 1, item))
                    return false;
                list.append(item);
            }
            out = list;
            return true;
        }
        case PLIST_DICT: {
            QVariantMap map;
            if (!convertDictionary(node, depth, map))
                return false;
            out = map;
            return true;
        }
        default:
            // Keys outside dictionaries and keyed-archive UIDs carry nothing we use.
            out = QVariant();
            return true;
        }
    }

    bool convertDictionary(plist_t node, int depth, QVariantMap &map)
    {
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        if (!iterator)
            return true;
        bool ok = true;
        for (;;) {
            char *rawKey = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, iterator, &rawKey, &value);
            CText key(rawKey);
            if (!value)
                break;
            QVariant converted;
            if (!convert(value, depth + 1, converted)) {
                ok = false;
                break;
            }
            map.insert(QString::fromUtf8(key ? key.get() : ""), converted);
        }
        std::free(iterator);
        return ok;
    }

private:
    qint64 m_nodes = 0;
};

} // namespace

std::optional<QVariantMap> readPropertyList(const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > maxPropertyListSize)
        return std::nullopt;
    QByteArrayView input = bytes;
    std::optional<plisttext::XmlText> xml;
    if (plisttext::isBinary(input)) {
        if (!BinaryPlistShape(input).withinBounds())
            return std::nullopt;
    } else {
        xml = plisttext::xmlText(input);
        if (!xml || !xmlNestingWithinBounds(*xml))
            return std::nullopt;
        input = xml->text();
    }
    plist_t raw = nullptr;
    plist_from_memory(input.data(), uint32_t(input.size()), &raw);
    const PlistPtr root(raw);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;
    QVariantMap map;
    if (!Converter().convertDictionary(root.get(), 0, map))
        return std::nullopt;
    return map;
}

std::optional<QVariantMap> readPropertyListFile(const QString &path)
{
    QByteArray bytes;
    if (readSmallFile(QFile::encodeName(path).constData(), maxPropertyListSize, bytes) != 0)
        return std::nullopt;
    return readPropertyList(bytes);
}

} // namespace tandrel
