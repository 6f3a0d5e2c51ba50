#pragma once

#include "formats/PlistScan.h"

#include <QByteArrayView>

#include <array>
#include <cstring>

// The scanners behind PlistScan.h; not for other code.
namespace tandrel::plistscan {

enum class Kind : quint8 { String, True, False, Integer, Real, Other };

struct Value
{
    Kind kind = Kind::Other;
    bool nonZero = false; // True, and numbers other than zero (when numbers are asked for)
    QString string; // String
};

// The keys asked for, and what the root dictionary holds for each.
struct Lookup
{
    std::array<QLatin1StringView, maxScannedKeys> keys;
    int count = 0;
    // Integers and reals are read only for the sandbox question, and count as Other otherwise.
    bool numbers = false;
    std::array<bool, maxScannedKeys> found {};
    std::array<Value, maxScannedKeys> values;

    // The index of the asked-for key with exactly these bytes, or -1.
    int match(const char *key, qsizetype size) const
    {
        for (int i = 0; i < count; ++i) {
            if (keys[i].size() == size && std::memcmp(keys[i].data(), key, size_t(size)) == 0)
                return i;
        }
        return -1;
    }
};

// Each gives false when not sure; `lookup` then holds nothing of use. A dictionary holding
// an asked-for key twice is a reason not to be sure.
bool scanXml(QByteArrayView text, bool fromUtf16, Lookup &lookup);
bool scanBinary(QByteArrayView bytes, Lookup &lookup);

} // namespace tandrel::plistscan
