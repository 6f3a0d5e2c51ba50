#pragma once

// Characters, entities and tags as the XML scanner of PlistScan reads them; not for other code.
#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <array>
#include <cstring>
#include <iterator>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tandrel::plistscan::xml {

// Containers nested inside the root dictionary: deeper than real property lists go, and
// well inside what the full reader converts.
inline constexpr int maxNesting = 32;

enum class Element : quint8 { Plist, Dict, Array, Key, String, Integer, Real, True, False, Date, Data };

inline constexpr QByteArrayView names[]
    = { "plist", "dict", "array", "key", "string", "integer", "real", "true", "false", "date", "data" };

inline QByteArrayView nameOf(Element element)
{
    return names[int(element)];
}

// The elements a value can be, the commonest first.
inline constexpr Element valueElements[] = { Element::String, Element::Dict, Element::Array, Element::True,
    Element::False, Element::Integer, Element::Real, Element::Data, Element::Date };

// Up to 16 bytes of markup as two little-endian words and the masks of the bytes they hold,
// so a tag is recognised by two compares instead of a byte at a time.
struct Pattern
{
    quint64 word[2] = {};
    quint64 mask[2] = {};
    qsizetype length = 0;
};

inline constexpr Pattern pattern(QByteArrayView prefix, QByteArrayView name, QByteArrayView suffix)
{
    Pattern result;
    const auto add = [&result](QByteArrayView part) {
        for (const char c : part) {
            const qsizetype i = result.length++;
            result.word[i / 8] |= quint64(uchar(c)) << (8 * (i % 8));
            result.mask[i / 8] |= quint64(0xff) << (8 * (i % 8));
        }
    };
    add(prefix);
    add(name);
    add(suffix);
    return result;
}

template <char... Prefix> constexpr std::array<Pattern, std::size(names)> patterns(QByteArrayView suffix)
{
    std::array<Pattern, std::size(names)> result;
    constexpr char prefix[] = { Prefix..., 0 };
    for (size_t i = 0; i < result.size(); ++i)
        result[i] = pattern(QByteArrayView(prefix, sizeof prefix - 1), names[i], suffix);
    return result;
}

inline constexpr auto startPatterns = patterns<>(">"); // "key>", after the '<'
inline constexpr auto emptyPatterns = patterns<>("/>"); // "true/>", after the '<'
inline constexpr auto endPatterns = patterns<'<', '/'>(">"); // "</key>"

// Needs 16 bytes at p.
inline bool matches(const char *p, const Pattern &pattern)
{
    quint64 words[2];
    std::memcpy(words, p, sizeof words);
    return ((words[0] & pattern.mask[0]) == pattern.word[0])
        & ((words[1] & pattern.mask[1]) == pattern.word[1]);
}

inline bool isSpace(uchar c)
{
    // One test instead of four: the four whitespace characters are the only ones at or
    // below ' ' whose bit is set.
    return c <= ' ' && ((quint64(1) << c) & (quint64(1) << ' ' | 1u << '\t' | 1u << '\n' | 1u << '\r'));
}

inline bool isLetter(uchar c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline bool isDigit(uchar c)
{
    return c >= '0' && c <= '9';
}

// Sixteen bytes at a time: text is mostly plain ASCII, and looking at it a byte at a time
// would be most of the scan's cost. GCC and Clang vector extensions, on x86-64 and arm64.
using Bytes16 = unsigned char __attribute__((vector_size(16)));
using SignedBytes16 = signed char __attribute__((vector_size(16)));
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);

// One bit per byte of a comparison's result, the first byte in the lowest bit.
inline unsigned bitsOf(SignedBytes16 lanes)
{
#if defined(__SSE2__)
    return unsigned(_mm_movemask_epi8(__m128i(lanes)));
#else
    // The multiplication gathers each byte's top bit into the top byte.
    quint64 halves[2];
    std::memcpy(halves, &lanes, sizeof halves);
    constexpr quint64 topBits = 0x8080808080808080;
    constexpr quint64 gather = 0x0002040810204081;
    return unsigned(((halves[0] & topBits) * gather) >> 56)
        | unsigned(((halves[1] & topBits) * gather) >> 56) << 8;
#endif
}

inline Bytes16 load16(const char *p)
{
    Bytes16 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The index of the first byte of the 16 at p that is not plain ASCII text (a control, '<',
// '&', ']' or above 0x7f), or 16. As signed bytes, those above 0x7f are below ' ' too.
inline unsigned specialBits(const char *p)
{
    const Bytes16 v = load16(p);
    return bitsOf((v == '<') | (v == '&') | (v == ']') | (SignedBytes16(v) < ' '));
}

inline int plainPrefix(const char *p)
{
    return __builtin_ctz(specialBits(p) | 0x10000);
}

inline unsigned spaceBits(const char *p)
{
    const Bytes16 v = load16(p);
    return bitsOf((v == ' ') | (v == '\t') | (v == '\n') | (v == '\r'));
}

// The number of whitespace bytes the 16 at p start with.
inline int spacePrefix(const char *p)
{
    return __builtin_ctz(~spaceBits(p) | 0x10000);
}

// ASCII bytes that text may hold as they are; everything else is looked at one by one.
inline constexpr std::array<bool, 256> plainTable = [] {
    std::array<bool, 256> table {};
    for (int c = 0x20; c < 0x80; ++c)
        table[size_t(c)] = c != '<' && c != '&' && c != ']';
    table['\t'] = table['\n'] = table['\r'] = true;
    return table;
}();

// The length of the UTF-8 sequence at p when it is well formed and a character XML allows
// (no controls but tab and line ends, no surrogates, not U+FFFE or U+FFFF), else 0.
inline int charLength(const uchar *p, const uchar *end)
{
    const uchar c = *p;
    if (c < 0x80)
        return c >= 0x20 || c == '\t' || c == '\n' || c == '\r' ? 1 : 0;
    const auto continued = [p, end](int count) {
        if (end - p <= count)
            return false;
        for (int i = 1; i <= count; ++i) {
            if ((p[i] & 0xc0) != 0x80)
                return false;
        }
        return true;
    };
    if (c < 0xc2)
        return 0;
    if (c < 0xe0)
        return continued(1) ? 2 : 0;
    if (c < 0xf0) {
        if (!continued(2) || (c == 0xe0 && p[1] < 0xa0) || (c == 0xed && p[1] >= 0xa0)
            || (c == 0xef && p[1] == 0xbf && p[2] >= 0xbe))
            return 0;
        return 3;
    }
    if (c < 0xf5 && continued(3) && !(c == 0xf0 && p[1] < 0x90) && !(c == 0xf4 && p[1] >= 0x90))
        return 4;
    return 0;
}

inline void appendUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xc0 | c >> 6);
        out += char(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        out += char(0xe0 | c >> 12);
        out += char(0x80 | ((c >> 6) & 0x3f));
        out += char(0x80 | (c & 0x3f));
    } else {
        out += char(0xf0 | c >> 18);
        out += char(0x80 | ((c >> 12) & 0x3f));
        out += char(0x80 | ((c >> 6) & 0x3f));
        out += char(0x80 | (c & 0x3f));
    }
}

// The character an entity reference at p ('&') stands for, and where it ends; 0 when the
// XML parser or libplist would refuse it. libplist takes at most eight characters between
// '&' and ';' and matches names by their start, so only the exact forms are taken here.
inline char32_t entity(const uchar *p, const uchar *end, const uchar *&after)
{
    const uchar *body = p + 1;
    const uchar *semicolon = body;
    while (semicolon < end && semicolon - body <= 8 && *semicolon != ';')
        ++semicolon;
    if (semicolon >= end || *semicolon != ';' || semicolon - body > 8)
        return 0;
    after = semicolon + 1;
    const QByteArrayView name(reinterpret_cast<const char *>(body), semicolon - body);
    if (name == "amp")
        return '&';
    if (name == "lt")
        return '<';
    if (name == "gt")
        return '>';
    if (name == "quot")
        return '"';
    if (name == "apos")
        return '\'';
    if (name.size() < 2 || name[0] != '#')
        return 0;
    const bool hex = name[1] == 'x';
    const QByteArrayView digits = name.sliced(hex ? 2 : 1);
    if (digits.isEmpty())
        return 0;
    char32_t value = 0;
    for (const char digit : digits) {
        const uchar d = uchar(digit);
        int v;
        if (isDigit(d))
            v = d - '0';
        else if (hex && d >= 'a' && d <= 'f')
            v = d - 'a' + 10;
        else if (hex && d >= 'A' && d <= 'F')
            v = d - 'A' + 10;
        else
            return 0;
        value = value * (hex ? 16 : 10) + char32_t(v); // eight digits at most: no overflow
    }
    const bool allowed = value == '\t' || value == '\n' || value == '\r' || (value >= 0x20 && value < 0xd800)
        || (value >= 0xe000 && value < 0xfffe) || (value >= 0x10000 && value <= 0x10ffff);
    return allowed ? value : 0;
}

} // namespace tandrel::plistscan::xml
