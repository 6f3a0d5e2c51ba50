#pragma once

// The parts of a binary property list that locate its objects, shared by the full reader's
// shape check and the quick scan: both bounds-check every field against the file before
// they follow it.

#include <QtGlobal>

#include <optional>

namespace tandrel::binaryplist {

// Big-endian unsigned integer of `size` bytes at `at`; callers check that it lies within the data.
inline quint64 readUInt(const uchar *data, quint64 at, quint64 size)
{
    quint64 value = 0;
    for (quint64 i = 0; i < size; ++i)
        value = (value << 8) | data[at + i];
    return value;
}

inline bool validIntSize(quint64 size)
{
    return size == 1 || size == 2 || size == 4 || size == 8;
}

// The trailer's fields. Objects lie between the 8-byte header and the offset table.
struct Trailer
{
    quint64 offsetSize = 0;
    quint64 refSize = 0;
    quint64 objects = 0;
    quint64 root = 0;
    quint64 offsetTable = 0;
};

// The trailer of `size` bytes at `data`, when its sizes are 1, 2, 4 or 8 bytes, the root is
// one of the objects and the offset table, with room for every object's offset, lies
// between the header and the trailer. Integer sizes other than those are refused rather
// than guessed at.
inline std::optional<Trailer> readTrailer(const uchar *data, quint64 size)
{
    constexpr quint64 headerSize = 8;
    constexpr quint64 trailerSize = 32;
    if (size < headerSize + trailerSize)
        return std::nullopt;
    const quint64 at = size - trailerSize;
    const Trailer trailer { data[at + 6], data[at + 7], readUInt(data, at + 8, 8), readUInt(data, at + 16, 8),
        readUInt(data, at + 24, 8) };
    if (!validIntSize(trailer.offsetSize) || !validIntSize(trailer.refSize) || trailer.objects == 0
        || trailer.root >= trailer.objects || trailer.offsetTable < headerSize || trailer.offsetTable > at
        || trailer.objects > (at - trailer.offsetTable) / trailer.offsetSize)
        return std::nullopt;
    return trailer;
}

// An object's kind (the marker's high four bits), its low four bits, its count (the low
// four bits, or for data, strings and containers with all four set an integer object of
// 1, 2, 4 or 8 bytes after the marker) and where its contents start.
struct ObjectHeader
{
    uchar kind = 0;
    uchar low = 0;
    quint64 count = 0;
    quint64 contents = 0;
};

inline std::optional<ObjectHeader> objectHeader(const uchar *data, const Trailer &trailer, quint64 object)
{
    if (object >= trailer.objects)
        return std::nullopt;
    const quint64 table = trailer.offsetTable;
    const quint64 at = readUInt(data, table + object * trailer.offsetSize, trailer.offsetSize);
    if (at < 8 || at >= table)
        return std::nullopt;
    ObjectHeader header { uchar(data[at] >> 4), uchar(data[at] & 0x0f), quint64(data[at] & 0x0f), at + 1 };
    const bool counted = header.kind == 0x4 || header.kind == 0x5 || header.kind == 0x6 || header.kind == 0xa
        || header.kind == 0xc || header.kind == 0xd;
    if (counted && header.count == 0x0f) {
        const quint64 next = header.contents;
        if (next >= table || (data[next] >> 4) != 0x1 || (data[next] & 0x0f) > 3)
            return std::nullopt;
        const quint64 size = quint64(1) << (data[next] & 0x0f);
        if (size > table - next - 1)
            return std::nullopt;
        header.count = readUInt(data, next + 1, size);
        header.contents = next + 1 + size;
    }
    return header;
}

} // namespace tandrel::binaryplist
