// The root dictionary's content in the shape writers give it: tags without whitespace or
// attributes inside, whitespace between them, text in the leaves. Stepping through it a
// tag at a time, each step waits for the one before to find where it ends; here bit masks
// of the whole content, made sixteen bytes at a time, say where every '<' is and which
// bytes are whitespace or anything but plain text, so tags are compared as words where
// the masks place them and text is checked by its mask. Anything else (comments,
// processing instructions, CDATA, another form of tag, content past 64 KiB) is left to
// dictionaryContent(), which reads the content again from its start and decides.
#include "formats/PlistXmlScanner.h"

#include <algorithm>

namespace tandrel::plistscan::xml {
namespace {

constexpr qsizetype maxUsualSize = 64 * 1024;

// Each '<' in turn, found 64 bytes at a time ahead of where the reading is.
class LessThans
{
public:
    LessThans(const char *base, qsizetype size)
        : m_base(base)
        , m_size(size)
        , m_word(wordAt(0))
    {
    }
    // -1 after the last.
    qsizetype next()
    {
        while (m_word == 0) {
            m_start += 64;
            if (m_start >= m_size)
                return -1;
            m_word = wordAt(m_start);
        }
        const qsizetype at = m_start + __builtin_ctzll(m_word);
        m_word &= m_word - 1;
        return at;
    }

private:
    quint64 wordAt(qsizetype start) const
    {
        if (m_size - start >= 64) {
            quint64 word = 0;
            for (int part = 0; part < 4; ++part)
                word |= quint64(bitsOf(load16(m_base + start + 16 * part) == '<')) << (16 * part);
            return word;
        }
        quint64 word = 0;
        for (qsizetype i = start; i < m_size; ++i)
            word |= m_base[i] == '<' ? quint64(1) << (i - start) : 0;
        return word;
    }

    const char *m_base;
    qsizetype m_size;
    qsizetype m_start = 0;
    quint64 m_word;
};

// Whether the n bytes at p are all whitespace; reads 16 bytes when n is at most 16.
inline bool onlySpace(const char *p, qsizetype n)
{
    if (n <= 16)
        return n == 0 || ((~spaceBits(p) & ((1u << n) - 1)) == 0);
    while (n > 0 && isSpace(uchar(*p))) {
        ++p;
        --n;
    }
    return n == 0;
}

// Whether the n bytes at p are plain text; reads up to 15 bytes past them.
inline bool plainText(const char *p, qsizetype n)
{
    unsigned special = 0;
    for (; n >= 16; p += 16, n -= 16)
        special |= specialBits(p);
    return (special | (specialBits(p) & ((1u << n) - 1))) == 0;
}

struct Candidate
{
    const Pattern &pattern;
    Element element;
    bool empty;
};

const Candidate keyCandidate { startPatterns[int(Element::Key)], Element::Key, false };

// What may start a value, the commonest first.
const Candidate valueCandidates[] = {
    { startPatterns[int(Element::String)], Element::String, false },
    { emptyPatterns[int(Element::True)], Element::True, true },
    { emptyPatterns[int(Element::False)], Element::False, true },
    { startPatterns[int(Element::Dict)], Element::Dict, false },
    { startPatterns[int(Element::Array)], Element::Array, false },
    { startPatterns[int(Element::Integer)], Element::Integer, false },
    { startPatterns[int(Element::Date)], Element::Date, false },
    { startPatterns[int(Element::Data)], Element::Data, false },
    { startPatterns[int(Element::Real)], Element::Real, false },
    { emptyPatterns[int(Element::String)], Element::String, true },
    { emptyPatterns[int(Element::Dict)], Element::Dict, true },
    { emptyPatterns[int(Element::Array)], Element::Array, true },
    { startPatterns[int(Element::True)], Element::True, false },
    { startPatterns[int(Element::False)], Element::False, false },
    { emptyPatterns[int(Element::Integer)], Element::Integer, true },
    { emptyPatterns[int(Element::Date)], Element::Date, true },
    { emptyPatterns[int(Element::Data)], Element::Data, true },
    { emptyPatterns[int(Element::Real)], Element::Real, true },
};

} // namespace

bool XmlScanner::usualDictionaryContent()
{
    const char *const base = m_p;
    const qsizetype size = m_end - base;
    if (size > maxUsualSize)
        return false;
    LessThans lessThans(base, size);
    // The word compares read 16 bytes after a tag's '<' and its name.
    const auto room = [size](qsizetype at) { return size - at >= 17; };

    std::array<bool, maxNesting + 1> isDictionary {};
    std::array<bool, maxNesting + 1> keyRead {};
    int depth = 1;
    isDictionary[0] = true;
    int asked = -1; // the asked-for key whose value comes next, at the root
    qsizetype at = 0; // where the last tag ended
    for (;;) {
        const qsizetype i = lessThans.next();
        if (i < 0 || !room(i) || !onlySpace(base + at, i - at))
            return false;
        const char *tag = base + i;
        const int top = depth - 1;
        if (tag[1] == '/') {
            const Pattern &end = endPatterns[int(isDictionary[size_t(top)] ? Element::Dict : Element::Array)];
            if (keyRead[size_t(top)] || !matches(tag, end))
                return false;
            at = i + end.length;
            if (--depth == 0) {
                m_p = base + at;
                return true;
            }
            continue;
        }
        const bool wantKey = isDictionary[size_t(top)] && !keyRead[size_t(top)];
        const Candidate *found = nullptr;
        if (wantKey) {
            found = matches(tag + 1, keyCandidate.pattern) ? &keyCandidate : nullptr;
        } else {
            found = std::find_if(std::begin(valueCandidates), std::end(valueCandidates),
                [tag](const Candidate &candidate) { return matches(tag + 1, candidate.pattern); });
            found = found == std::end(valueCandidates) ? nullptr : found;
        }
        if (!found)
            return false;
        at = i + 1 + found->pattern.length;
        const bool root = depth == 1;
        const Element element = found->element;
        if (!wantKey && (element == Element::Dict || element == Element::Array)) {
            keyRead[size_t(top)] = false;
            if (root && asked >= 0 && !record(asked, element, nullptr))
                return false;
            asked = -1;
            if (!found->empty) {
                if (depth > maxNesting)
                    return false;
                isDictionary[size_t(depth)] = element == Element::Dict;
                keyRead[size_t(depth)] = false;
                ++depth;
            }
            continue;
        }
        Content content;
        if (!found->empty) {
            const qsizetype j = lessThans.next();
            if (j < 0 || !room(j))
                return false;
            content.begin = base + at;
            content.end = base + j;
            if (!plainText(base + at, j - at)) {
                m_p = content.begin;
                if (!text(content) || m_p != content.end)
                    return false;
            }
            const Pattern &end = endPatterns[int(element)];
            if (!matches(base + j, end))
                return false;
            at = j + end.length;
        }
        if (wantKey) {
            keyRead[size_t(top)] = true;
            if (root && !rootKey(content, asked))
                return false;
            continue;
        }
        keyRead[size_t(top)] = false;
        if (root && asked >= 0 && !record(asked, element, found->empty ? nullptr : &content))
            return false;
        asked = -1;
    }
}

} // namespace tandrel::plistscan::xml
