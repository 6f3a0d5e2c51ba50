#pragma once

// The XML scanner behind PlistScan: see PlistXmlScanner.cpp; not for other code.
#include "formats/PlistScanDetail.h"
#include "formats/PlistXmlChars.h"

namespace tandrel::plistscan::xml {

// Where a leaf element's content lies, and what it holds besides plain text.
struct Content
{
    const char *begin = nullptr;
    const char *end = nullptr;
    bool entities = false;
    bool markup = false; // comments or CDATA
};

// The per-tag steps, kept inline: a call per tag costs more than the tag's own checks.
#define TANDREL_HOT [[gnu::always_inline]] inline

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

    bool run();

private:
    qsizetype left() const { return m_end - m_p; }
    bool at(QByteArrayView literal) const
    {
        return left() >= literal.size() && std::memcmp(m_p, literal.data(), size_t(literal.size())) == 0;
    }
    bool take(QByteArrayView literal)
    {
        if (!at(literal))
            return false;
        m_p += literal.size();
        return true;
    }
    const uchar *u() const { return reinterpret_cast<const uchar *>(m_p); }
    const uchar *uend() const { return reinterpret_cast<const uchar *>(m_end); }

    // Returns whether any whitespace was there.
    TANDREL_HOT bool skipSpace()
    {
        const char *start = m_p;
        while (left() >= 16) {
            const int space = spacePrefix(m_p);
            m_p += space;
            if (space < 16)
                return m_p != start;
        }
        while (m_p < m_end && isSpace(uchar(*m_p)))
            ++m_p;
        return m_p != start;
    }

    // Valid characters up to `terminator`, which it steps over. `noDoubleDash`: in a
    // comment, "--" may only end it.
    bool skipPast(QByteArrayView terminator, bool noDoubleDash = false, bool noQuote = false);

    // After "<!--": comments may not hold "--" (nor end in "--->").
    bool comment() { return skipPast("-->", true); }

    // After "<?". libplist skips over double-quoted text looking for the end, an XML
    // parser does not: no quotes, then. The target "xml" is for the declaration alone.
    bool processingInstruction();

    // Whitespace, comments and processing instructions.
    bool skipMisc();

    bool equals();

    // A quoted attribute value of the characters `allowed` accepts.
    template <typename Allowed> bool quoted(QByteArrayView *value, Allowed allowed, bool singleQuotes = true);

    bool xmlDeclaration();

    // <!DOCTYPE plist> with a public or system identifier, double-quoted; no internal subset.
    bool doctype();

    bool prolog();

    bool startPlist();

    // After '<': the element's name, and whether it is empty ("<true/>"). `key`: a
    // dictionary waits for a key, which nothing but <key> can be.
    TANDREL_HOT bool startTag(Element &element, bool &empty, bool key)
    {
        // The usual form, "name>", compared as two words.
        if (left() >= 16) {
            empty = false;
            if (key) {
                element = Element::Key;
                if (matches(m_p, startPatterns[int(Element::Key)])) {
                    m_p += startPatterns[int(Element::Key)].length;
                    return true;
                }
            } else {
                for (const Element candidate : valueElements) {
                    if (matches(m_p, startPatterns[int(candidate)])) {
                        m_p += startPatterns[int(candidate)].length;
                        element = candidate;
                        return true;
                    }
                }
            }
        }
        const char *start = m_p;
        while (m_p < m_end && isLetter(uchar(*m_p)))
            ++m_p;
        const QByteArrayView name(start, m_p - start);
        if (name == nameOf(Element::Key)) {
            element = Element::Key;
        } else {
            const auto *found = std::find_if(std::begin(valueElements), std::end(valueElements),
                [name](Element candidate) { return name == nameOf(candidate); });
            if (found == std::end(valueElements))
                return false;
            element = *found;
        }
        skipSpace();
        empty = take("/>");
        return empty || take(">");
    }

    // "</name>", the '<' included.
    TANDREL_HOT bool endTag(Element element)
    {
        const Pattern &pattern = endPatterns[int(element)];
        if (left() >= 16 && matches(m_p, pattern)) {
            m_p += pattern.length;
            return true;
        }
        const QByteArrayView name = nameOf(element);
        if (left() < name.size() + 3 || m_p[0] != '<' || m_p[1] != '/'
            || QByteArrayView(m_p + 2, name.size()) != name)
            return false;
        m_p += name.size() + 2;
        skipSpace();
        return take(">");
    }

    // Text up to the next '<', checked.
    TANDREL_HOT bool text(Content &content)
    {
        while (m_p < m_end) {
            if (left() >= 16) {
                const int plain = plainPrefix(m_p);
                m_p += plain;
                if (plain == 16)
                    continue;
            }
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
    TANDREL_HOT bool leaf(Element element, Content &content)
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
    QByteArrayView decoded(const Content &content);

    // The value of an asked-for key. Numbers as libplist reads them: leading whitespace
    // skipped, a sign, then strtoull with base 0 or atof, over text without markup.
    bool record(int index, Element element, const Content *content);

    bool number(Element element, const Content *content, Value &value);

    bool rootDictionary();
    // The root dictionary's content after its start tag, in its usual shape (PlistXmlFast.cpp);
    // false for anything else, well formed or not, which dictionaryContent() then reads.
    bool usualDictionaryContent();
    bool dictionaryContent();

    bool rootKey(const Content &content, int &asked);

    const char *m_p;
    const char *m_end;
    bool m_fromUtf16;
    Lookup &m_lookup;
    QByteArray m_scratch;
};

} // namespace tandrel::plistscan::xml
