#include "formats/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>
#include <QVariantList>

#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>

namespace tandrel {
namespace {

// Real property lists nest a handful of levels and hold at most thousands of values;
// these bounds keep a crafted file from costing unbounded stack or memory.
constexpr int maxDepth = 64;
constexpr qint64 maxNodes = 1'000'000;

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
            char *raw = nullptr;
            plist_get_string_val(node, &raw);
            CText text(raw);
            out = QString::fromUtf8(text ? text.get() : "");
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
    plist_t raw = nullptr;
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &raw);
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxPropertyListSize)
        return std::nullopt;
    // A file that grows while we read it is still cut at the cap plus one byte and refused.
    const QByteArray bytes = file.read(maxPropertyListSize + 1);
    return readPropertyList(bytes);
}

} // namespace tandrel
