#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// Shared by the property-list readers (PropertyList.cpp, PlistScan*.cpp); not for other code.
namespace tandrel::plisttext {

// libplist's own test: anything else goes to its XML parser.
inline bool isBinary(QByteArrayView bytes)
{
    return bytes.size() >= 8 && bytes.startsWith("bplist00");
}

// An XML property list's text as both readers take it: UTF-8 from its first markup. libplist
// reads neither a byte-order mark nor UTF-16, and an XML parser refuses whitespace before the
// XML declaration, so a UTF-8 mark and leading whitespace are dropped and UTF-16 with a mark
// is converted once; the declared encoding then no longer applies.
class XmlText
{
public:
    QByteArrayView text() const { return m_fromUtf16 ? QByteArrayView(m_converted) : m_text; }
    bool convertedFromUtf16() const { return m_fromUtf16; }

private:
    friend std::optional<XmlText> xmlText(QByteArrayView bytes);
    QByteArrayView m_text;
    QByteArray m_converted;
    bool m_fromUtf16 = false;
};

// Nothing for UTF-16 that is not well formed (odd length, unpaired surrogates).
std::optional<XmlText> xmlText(QByteArrayView bytes);

} // namespace tandrel::plisttext
