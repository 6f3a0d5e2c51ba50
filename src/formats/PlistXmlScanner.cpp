// The XML scanner: one pass over the bytes, checking the whole document and keeping only
// the values of the asked-for top-level keys.
//
// It must never answer where readPropertyList would not, or differently. That reader runs
// an XML parser over the text first (refusing most of what is not well formed) and then
// libplist, whose parser is laxer in places and stricter in others. So this one accepts
// only what both take alike: the markup property lists use, well-formed UTF-8, the five
// predefined entities and character references, comments, CDATA in values, processing
// instructions between elements and a DOCTYPE without an internal subset. Everything else
// (unknown elements, attributes other than plist's version, text where markup belongs, a
// key without a value, nesting past the cap) makes it unsure.
#include "formats/PlistXmlScanner.h"

#include <algorithm>
#include <cstdlib>

namespace tandrel::plistscan {
namespace xml {

bool XmlScanner::run()
{
    return prolog() && startPlist() && skipMisc() && rootDictionary() && skipMisc() && endTag(Element::Plist)
        && skipMisc() && m_p == m_end;
}

bool XmlScanner::skipPast(QByteArrayView terminator, bool noDoubleDash, bool noQuote)
{
    while (m_p < m_end) {
        if (*m_p == terminator[0] && take(terminator))
            return true;
        if ((noDoubleDash && at("--")) || (noQuote && *m_p == '"'))
            return false;
        const int length = plainTable[uchar(*m_p)] ? 1 : charLength(u(), uend());
        if (length == 0)
            return false;
        m_p += length;
    }
    return false;
}

bool XmlScanner::processingInstruction()
{
    const char *target = m_p;
    while (m_p < m_end
        && (isLetter(uchar(*m_p)) || *m_p == '_'
            || (m_p > target && (isDigit(uchar(*m_p)) || *m_p == '-' || *m_p == '.'))))
        ++m_p;
    if (m_p == target
        || (m_p - target >= 3 && QByteArrayView(target, 3).compare("xml", Qt::CaseInsensitive) == 0))
        return false;
    if (take("?>"))
        return true;
    return skipSpace() && skipPast("?>", false, true);
}

bool XmlScanner::skipMisc()
{
    for (;;) {
        skipSpace();
        if (left() < 2 || m_p[0] != '<' || (m_p[1] != '!' && m_p[1] != '?'))
            return true;
        if (take("<!--")) {
            if (!comment())
                return false;
        } else if (take("<?")) {
            if (!processingInstruction())
                return false;
        } else {
            return true;
        }
    }
}

bool XmlScanner::equals()
{
    skipSpace();
    if (!take("="))
        return false;
    skipSpace();
    return true;
}

template <typename Allowed> bool XmlScanner::quoted(QByteArrayView *value, Allowed allowed, bool singleQuotes)
{
    if (m_p >= m_end || (*m_p != '"' && !(singleQuotes && *m_p == '\'')))
        return false;
    const char quote = *m_p++;
    const char *start = m_p;
    while (m_p < m_end && *m_p != quote) {
        if (!allowed(uchar(*m_p)))
            return false;
        ++m_p;
    }
    if (m_p >= m_end)
        return false;
    if (value)
        *value = QByteArrayView(start, m_p - start);
    ++m_p;
    return true;
}

bool XmlScanner::xmlDeclaration()
{
    const auto versionChar = [](uchar c) { return isDigit(c) || c == '.'; };
    const auto nameChar
        = [](uchar c) { return isLetter(c) || isDigit(c) || c == '-' || c == '_' || c == '.'; };
    QByteArrayView value;
    if (!skipSpace() || !take("version") || !equals() || !quoted(&value, versionChar) || value != "1.0")
        return false;
    bool space = skipSpace();
    if (space && take("encoding")) {
        if (!equals() || !quoted(&value, nameChar))
            return false;
        const bool utf8 = value.compare("UTF-8", Qt::CaseInsensitive) == 0;
        const bool utf16 = value.compare("UTF-16", Qt::CaseInsensitive) == 0
            || value.compare("UTF-16LE", Qt::CaseInsensitive) == 0
            || value.compare("UTF-16BE", Qt::CaseInsensitive) == 0;
        // Text converted from UTF-16 is read as it is, whatever it declares.
        if (!utf8 && !(utf16 && m_fromUtf16))
            return false;
        space = skipSpace();
    }
    if (space && take("standalone")) {
        if (!equals() || !quoted(&value, isLetter) || (value != "yes" && value != "no"))
            return false;
        skipSpace();
    }
    return take("?>");
}

bool XmlScanner::doctype()
{
    const auto systemChar = [](uchar c) {
        return c >= 0x20 && c < 0x7f && c != '"' && c != '<' && c != '>' && c != '[' && c != ']' && c != '&';
    };
    const auto publicChar = [](uchar c) {
        return isLetter(c) || isDigit(c) || c == ' ' || c == '\r' || c == '\n'
            || (c != 0 && std::strchr("-'()+,./:=?;!*#@$_%", c));
    };
    if (!skipSpace() || !take("plist"))
        return false;
    if (skipSpace()) {
        if (take("PUBLIC")) {
            if (!skipSpace() || !quoted(nullptr, publicChar, false) || !skipSpace()
                || !quoted(nullptr, systemChar, false))
                return false;
        } else if (take("SYSTEM")) {
            if (!skipSpace() || !quoted(nullptr, systemChar, false))
                return false;
        }
        skipSpace();
    }
    return take(">");
}

bool XmlScanner::prolog()
{
    // What nearly every property list starts with, taken whole; the same when checked.
    static constexpr QByteArrayView usualDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    static constexpr QByteArrayView usualDoctype = "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                                   "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">";
    if (!take(usualDeclaration) && take("<?xml") && !xmlDeclaration())
        return false;
    if (!skipMisc())
        return false;
    if (take(usualDoctype))
        return skipMisc();
    if (take("<!DOCTYPE") && (!doctype() || !skipMisc()))
        return false;
    return true;
}

bool XmlScanner::startPlist()
{
    if (!take("<plist"))
        return false;
    if (skipSpace() && take("version")) {
        if (!equals() || !quoted(nullptr, [](uchar c) { return isDigit(c) || c == '.'; }))
            return false;
        skipSpace();
    }
    return take(">");
}

QByteArrayView XmlScanner::decoded(const Content &content)
{
    if (!content.entities && !content.markup)
        return QByteArrayView(content.begin, content.end - content.begin);
    m_scratch.clear();
    const uchar *p = reinterpret_cast<const uchar *>(content.begin);
    const uchar *end = reinterpret_cast<const uchar *>(content.end);
    while (p < end) {
        const QByteArrayView rest(reinterpret_cast<const char *>(p), end - p);
        if (rest.startsWith("<!--")) {
            p += rest.indexOf("-->", 4) + 3;
        } else if (rest.startsWith("<![CDATA[")) {
            const qsizetype close = rest.indexOf("]]>", 9);
            m_scratch.append(rest.sliced(9, close - 9));
            p += close + 3;
        } else if (*p == '&') {
            const uchar *after = nullptr;
            appendUtf8(m_scratch, entity(p, end, after));
            p = after;
        } else {
            m_scratch += char(*p++);
        }
    }
    return m_scratch;
}

bool XmlScanner::record(int index, Element element, const Content *content)
{
    Value &value = m_lookup.values[size_t(index)];
    switch (element) {
    case Element::String:
        value.kind = Kind::String;
        if (content)
            value.string = QString::fromUtf8(decoded(*content));
        else
            value.string = QString(QLatin1StringView(""));
        return true;
    case Element::True:
    case Element::False:
        value.kind = element == Element::True ? Kind::True : Kind::False;
        value.nonZero = element == Element::True;
        return !content || QByteArrayView(content->begin, content->end - content->begin).trimmed().isEmpty();
    case Element::Integer:
    case Element::Real:
        if (!m_lookup.numbers)
            return true;
        value.kind = element == Element::Integer ? Kind::Integer : Kind::Real;
        return number(element, content, value);
    default:
        return true; // Kind::Other
    }
}

bool XmlScanner::number(Element element, const Content *content, Value &value)
{
    if (content && (content->markup || content->entities))
        return false;
    QByteArrayView digits
        = content ? QByteArrayView(content->begin, content->end - content->begin) : QByteArrayView();
    while (!digits.isEmpty() && isSpace(uchar(digits.front())))
        digits = digits.sliced(1);
    char copy[64] = {};
    if (digits.size() >= qsizetype(sizeof copy))
        return false;
    std::copy(digits.begin(), digits.end(), copy);
    if (element == Element::Real) {
        value.nonZero = std::atof(copy) != 0.0;
    } else {
        const char *start = copy[0] == '-' || copy[0] == '+' ? copy + 1 : copy;
        value.nonZero = std::strtoull(start, nullptr, 0) != 0;
    }
    return true;
}

bool XmlScanner::rootDictionary()
{
    Element element;
    bool empty = false;
    if (!take("<") || !startTag(element, empty, false) || element != Element::Dict)
        return false;
    if (empty)
        return true;
    const char *content = m_p;
    if (usualDictionaryContent())
        return true;
    m_p = content;
    m_lookup.found.fill(false);
    m_lookup.values.fill(Value());
    return dictionaryContent();
}

bool XmlScanner::dictionaryContent()
{
    Element element;
    bool empty = false;
    // Per open container: whether it is a dictionary, and whether its key is read.
    std::array<bool, maxNesting + 1> isDictionary {};
    std::array<bool, maxNesting + 1> keyRead {};
    int depth = 1;
    isDictionary[0] = true;
    int asked = -1; // the asked-for key whose value comes next, at the root
    while (depth > 0) {
        skipSpace();
        if (left() < 2 || m_p[0] != '<')
            return false;
        if (m_p[1] == '!' || m_p[1] == '?') {
            // A comment or processing instruction; anything else starting so (CDATA, a
            // DOCTYPE) is no element and would be left where it is.
            const char *before = m_p;
            if (!skipMisc() || m_p == before)
                return false;
            continue;
        }
        const int top = depth - 1;
        const bool wantKey = isDictionary[size_t(top)] && !keyRead[size_t(top)];
        if (m_p[1] == '/') {
            if (keyRead[size_t(top)] || !endTag(isDictionary[size_t(top)] ? Element::Dict : Element::Array))
                return false;
            --depth;
            continue;
        }
        ++m_p;
        if (!startTag(element, empty, wantKey))
            return false;
        const bool root = depth == 1;
        if (wantKey) {
            Content content;
            if (element != Element::Key || empty || !leaf(element, content))
                return false;
            keyRead[size_t(top)] = true;
            if (root && !rootKey(content, asked))
                return false;
            continue;
        }
        if (element == Element::Key)
            return false; // libplist would take it as a string
        keyRead[size_t(top)] = false;
        if (element == Element::Dict || element == Element::Array) {
            if (root && asked >= 0 && !record(asked, element, nullptr))
                return false;
            asked = -1;
            if (!empty) {
                if (depth > maxNesting)
                    return false;
                isDictionary[size_t(depth)] = element == Element::Dict;
                keyRead[size_t(depth)] = false;
                ++depth;
            }
            continue;
        }
        Content content;
        if (!empty && !leaf(element, content))
            return false;
        if (root && asked >= 0 && !record(asked, element, empty ? nullptr : &content))
            return false;
        asked = -1;
    }
    return true;
}

bool XmlScanner::rootKey(const Content &content, int &asked)
{
    const QByteArrayView key = decoded(content);
    // A leading byte-order mark vanishes when the full reader makes the key a QString.
    if (key.startsWith("\xef\xbb\xbf"))
        return false;
    asked = m_lookup.match(key.data(), key.size());
    if (asked < 0)
        return true;
    if (m_lookup.found[size_t(asked)])
        return false; // twice
    m_lookup.found[size_t(asked)] = true;
    return true;
}

} // namespace xml

bool scanXml(QByteArrayView text, bool fromUtf16, Lookup &lookup)
{
    return xml::XmlScanner(text, fromUtf16, lookup).run();
}

} // namespace tandrel::plistscan
