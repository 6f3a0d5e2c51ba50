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
#include "formats/PlistScanDetail.h"

#include <cstdlib>

namespace tandrel::plistscan {
namespace {

// Containers nested inside the root dictionary: deeper than real property lists go, and
// well inside what the full reader converts.
constexpr int maxNesting = 32;

enum class Element : quint8 { Plist, Dict, Array, Key, String, Integer, Real, True, False, Date, Data };

struct Name
{
    const char *text;
    Element element;
};

constexpr Name names[] = {
    {"plist", Element::Plist},
    {"dict", Element::Dict},
    {"array", Element::Array},
    {"key", Element::Key},
    {"string", Element::String},
    {"integer", Element::Integer},
    {"real", Element::Real},
    {"true", Element::True},
    {"false", Element::False},
    {"date", Element::Date},
    {"data", Element::Data},
};

const char *nameOf(Element element)
{
    return names[int(element)].text;
}

bool isSpace(uchar c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isLetter(uchar c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(uchar c)
{
    return c >= '0' && c <= '9';
}

// ASCII bytes that text may hold as they are; everything else is looked at one by one.
constexpr std::array<bool, 256> plainTable = [] {
    std::array<bool, 256> table {};
    for (int c = 0x20; c < 0x80; ++c)
        table[size_t(c)] = c != '<' && c != '&' && c != ']';
    table['\t'] = table['\n'] = table['\r'] = true;
    return table;
}();

// The length of the UTF-8 sequence at p when it is well formed and a character XML allows
// (no controls but tab and line ends, no surrogates, not U+FFFE or U+FFFF), else 0.
int charLength(const uchar *p, const uchar *end)
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

void appendUtf8(QByteArray &out, char32_t c)
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
char32_t entity(const uchar *p, const uchar *end, const uchar *&after)
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
    const bool allowed = value == '\t' || value == '\n' || value == '\r'
        || (value >= 0x20 && value < 0xd800) || (value >= 0xe000 && value < 0xfffe)
        || (value >= 0x10000 && value <= 0x10ffff);
    return allowed ? value : 0;
}

// Where a leaf element's content lies, and what it holds besides plain text.
struct Content
{
    const char *begin = nullptr;
    const char *end = nullptr;
    bool entities = false;
    bool markup = false; // comments or CDATA
};

class XmlScanner
{
public:
    XmlScanner(QByteArrayView text, bool fromUtf16, Lookup &lookup)
        : m_p(text.data())
        , m_end(text.data() + text.size())
        , m_fromUtf16(fromUtf16)
        , m_lookup(lookup)
    {
    }

    bool run()
    {
        return prolog() && startPlist() && skipMisc() && rootDictionary() && skipMisc()
            && endTag(Element::Plist) && skipMisc() && m_p == m_end;
    }

private:
    qsizetype left() const { return m_end - m_p; }
    bool at(const char *literal) const
    {
        const size_t length = std::strlen(literal);
        return size_t(left()) >= length && std::memcmp(m_p, literal, length) == 0;
    }
    bool take(const char *literal)
    {
        if (!at(literal))
            return false;
        m_p += std::strlen(literal);
        return true;
    }
    const uchar *u() const { return reinterpret_cast<const uchar *>(m_p); }
    const uchar *uend() const { return reinterpret_cast<const uchar *>(m_end); }

    // Returns whether any whitespace was there.
    bool skipSpace()
    {
        const char *start = m_p;
        while (m_p < m_end && isSpace(uchar(*m_p)))
            ++m_p;
        return m_p != start;
    }

    // Valid characters up to `terminator`, which it steps over. `noDoubleDash`: in a
    // comment, "--" may only end it.
    bool skipPast(const char *terminator, bool noDoubleDash = false, bool noQuote = false)
    {
        while (m_p < m_end) {
            if (*m_p == *terminator && take(terminator))
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

    // After "<!--": comments may not hold "--" (nor end in "--->").
    bool comment() { return skipPast("-->", true); }

    // After "<?". libplist skips over double-quoted text looking for the end, an XML
    // parser does not: no quotes, then. The target "xml" is for the declaration alone.
    bool processingInstruction()
    {
        const char *target = m_p;
        while (m_p < m_end && (isLetter(uchar(*m_p)) || *m_p == '_' || (m_p > target && (isDigit(uchar(*m_p)) || *m_p == '-' || *m_p == '.'))))
            ++m_p;
        if (m_p == target || (m_p - target >= 3 && QByteArrayView(target, 3).compare("xml", Qt::CaseInsensitive) == 0))
            return false;
        if (take("?>"))
            return true;
        return skipSpace() && skipPast("?>", false, true);
    }

    // Whitespace, comments and processing instructions.
    bool skipMisc()
    {
        for (;;) {
            skipSpace();
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

    bool equals()
    {
        skipSpace();
        if (!take("="))
            return false;
        skipSpace();
        return true;
    }

    // A quoted attribute value of the characters `allowed` accepts.
    template<typename Allowed>
    bool quoted(QByteArrayView *value, Allowed allowed, bool singleQuotes = true)
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

    bool xmlDeclaration()
    {
        const auto versionChar = [](uchar c) { return isDigit(c) || c == '.'; };
        const auto nameChar = [](uchar c) { return isLetter(c) || isDigit(c) || c == '-' || c == '_' || c == '.'; };
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

    // <!DOCTYPE plist> with a public or system identifier, double-quoted; no internal subset.
    bool doctype()
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

    bool prolog()
    {
        if (take("<?xml") && !xmlDeclaration())
            return false;
        if (!skipMisc())
            return false;
        if (take("<!DOCTYPE") && (!doctype() || !skipMisc()))
            return false;
        return true;
    }

    bool startPlist()
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

    // After '<': the element's name, and whether it is empty ("<true/>").
    bool startTag(Element &element, bool &empty)
    {
        const char *start = m_p;
        while (m_p < m_end && isLetter(uchar(*m_p)))
            ++m_p;
        const QByteArrayView name(start, m_p - start);
        bool known = false;
        for (const Name &candidate : names) {
            if (name == candidate.text && candidate.element != Element::Plist) {
                element = candidate.element;
                known = true;
                break;
            }
        }
        if (!known)
            return false;
        skipSpace();
        empty = take("/>");
        return empty || take(">");
    }

    // "</name>", the '<' included.
    bool endTag(Element element)
    {
        if (!take("</") || !take(nameOf(element)))
            return false;
        skipSpace();
        return take(">");
    }

    // Text up to the next '<', checked.
    bool text(Content &content)
    {
        while (m_p < m_end) {
            const uchar c = uchar(*m_p);
            if (plainTable[c]) {
                ++m_p;
            } else if (c == '<') {
                return true;
            } else if (c == '&') {
                const uchar *after = nullptr;
                if (entity(u(), uend(), after) == 0)
                    return false;
                m_p = reinterpret_cast<const char *>(after);
                content.entities = true;
            } else if (c == ']') {
                if (at("]]>"))
                    return false; // not allowed in text
                ++m_p;
            } else {
                const int length = charLength(u(), uend());
                if (length == 0)
                    return false;
                m_p += length;
            }
        }
        return false;
    }

    // A leaf's content up to and including its end tag: text, comments and CDATA, as both
    // parsers take them.
    bool leaf(Element element, Content &content)
    {
        content.begin = m_p;
        for (;;) {
            if (!text(content))
                return false;
            if (at("</")) {
                content.end = m_p;
                return endTag(element);
            }
            if (take("<!--")) {
                if (!comment())
                    return false;
            } else if (take("<![CDATA[")) {
                if (!skipPast("]]>"))
                    return false;
            } else {
                return false;
            }
            content.markup = true;
        }
    }

    // Content as libplist gives it for a key or string: entities replaced, comments left
    // out, CDATA as it is. Only called on content that leaf() accepted.
    QByteArrayView decoded(const Content &content)
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

    // The value of an asked-for key. Numbers as libplist reads them: leading whitespace
    // skipped, a sign, then strtoull with base 0 or atof, over text without markup.
    bool record(int index, Element element, const Content *content)
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

    bool number(Element element, const Content *content, Value &value)
    {
        if (content && (content->markup || content->entities))
            return false;
        QByteArrayView digits = content ? QByteArrayView(content->begin, content->end - content->begin) : QByteArrayView();
        while (!digits.isEmpty() && isSpace(uchar(digits.front())))
            digits = digits.sliced(1);
        char copy[64];
        if (digits.size() >= qsizetype(sizeof copy))
            return false;
        std::memcpy(copy, digits.data(), size_t(digits.size()));
        copy[digits.size()] = '\0';
        if (element == Element::Real) {
            value.nonZero = std::atof(copy) != 0.0;
        } else {
            const char *start = copy[0] == '-' || copy[0] == '+' ? copy + 1 : copy;
            value.nonZero = std::strtoull(start, nullptr, 0) != 0;
        }
        return true;
    }

    bool rootDictionary()
    {
        Element element;
        bool empty = false;
        if (!take("<") || !startTag(element, empty) || element != Element::Dict)
            return false;
        if (empty)
            return true;
        // Per open container: whether it is a dictionary, and whether its key is read.
        std::array<bool, maxNesting + 1> isDictionary {};
        std::array<bool, maxNesting + 1> keyRead {};
        int depth = 1;
        isDictionary[0] = true;
        int asked = -1; // the asked-for key whose value comes next, at the root
        while (depth > 0) {
            if (!skipMisc() || !take("<"))
                return false;
            const int top = depth - 1;
            if (at("/")) {
                --m_p;
                if (keyRead[size_t(top)] || !endTag(isDictionary[size_t(top)] ? Element::Dict : Element::Array))
                    return false;
                --depth;
                continue;
            }
            if (!startTag(element, empty))
                return false;
            const bool root = depth == 1;
            if (isDictionary[size_t(top)] && !keyRead[size_t(top)]) {
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

    bool rootKey(const Content &content, int &asked)
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

    const char *m_p;
    const char *m_end;
    bool m_fromUtf16;
    Lookup &m_lookup;
    QByteArray m_scratch;
};

} // namespace

bool scanXml(QByteArrayView text, bool fromUtf16, Lookup &lookup)
{
    return XmlScanner(text, fromUtf16, lookup).run();
}

} // namespace tandrel::plistscan
