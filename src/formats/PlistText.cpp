#include "formats/PlistText.h"

namespace tandrel::plisttext {
namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// UTF-16 (either order) to UTF-8; nothing for an odd length or an unpaired surrogate.
std::optional<QByteArray> utf16ToUtf8(QByteArrayView units, bool bigEndian)
{
    if (units.size() % 2 != 0)
        return std::nullopt;
    const auto *p = reinterpret_cast<const uchar *>(units.data());
    const qsizetype count = units.size() / 2;
    const auto unit = [p, bigEndian](qsizetype i) -> char32_t {
        return bigEndian ? char32_t(p[2 * i] << 8 | p[2 * i + 1]) : char32_t(p[2 * i + 1] << 8 | p[2 * i]);
    };
    QByteArray out(count * 3, Qt::Uninitialized); // no unit takes more than three bytes
    char *o = out.data();
    for (qsizetype i = 0; i < count; ++i) {
        char32_t c = unit(i);
        if (c >= 0xdc00 && c <= 0xdfff)
            return std::nullopt;
        if (c >= 0xd800 && c <= 0xdbff) {
            if (i + 1 >= count || unit(i + 1) < 0xdc00 || unit(i + 1) > 0xdfff)
                return std::nullopt;
            c = 0x10000 + ((c - 0xd800) << 10) + (unit(++i) - 0xdc00);
        }
        if (c < 0x80) {
            *o++ = char(c);
        } else if (c < 0x800) {
            *o++ = char(0xc0 | c >> 6);
            *o++ = char(0x80 | (c & 0x3f));
        } else if (c < 0x10000) {
            *o++ = char(0xe0 | c >> 12);
            *o++ = char(0x80 | ((c >> 6) & 0x3f));
            *o++ = char(0x80 | (c & 0x3f));
        } else {
            *o++ = char(0xf0 | c >> 18);
            *o++ = char(0x80 | ((c >> 12) & 0x3f));
            *o++ = char(0x80 | ((c >> 6) & 0x3f));
            *o++ = char(0x80 | (c & 0x3f));
        }
    }
    out.truncate(o - out.constData());
    return out;
}

QByteArrayView withoutLeadingSpace(QByteArrayView text)
{
    qsizetype start = 0;
    while (start < text.size() && isSpace(text[start]))
        ++start;
    return text.sliced(start);
}

} // namespace

std::optional<XmlText> xmlText(QByteArrayView bytes)
{
    XmlText result;
    const bool littleEndian = bytes.startsWith("\xff\xfe");
    if (littleEndian || bytes.startsWith("\xfe\xff")) {
        std::optional<QByteArray> utf8 = utf16ToUtf8(bytes.sliced(2), !littleEndian);
        if (!utf8)
            return std::nullopt;
        utf8->remove(0, utf8->size() - withoutLeadingSpace(*utf8).size());
        result.m_converted = std::move(*utf8);
        result.m_fromUtf16 = true;
        return result;
    }
    result.m_text = withoutLeadingSpace(bytes.startsWith("\xef\xbb\xbf") ? bytes.sliced(3) : bytes);
    return result;
}

} // namespace tandrel::plisttext
