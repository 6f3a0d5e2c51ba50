#pragma once

#include <QCollator>
#include <QList>
#include <QLocale>

#include <algorithm>

namespace tandrel {

// The collation of the user's locale; in the C or POSIX locale, which orders by code
// point and so puts "Ä" after "Z", the neutral English one.
inline QCollator nameCollator()
{
    const QLocale locale;
    QCollator collator { locale.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates)
                                                         : locale };
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

// Sorts by name in the user's locale, ignoring case; equal names keep their order.
template <typename T, typename NameOf> void sortByName(QList<T> &items, NameOf nameOf)
{
    const QCollator collator = nameCollator();
    std::stable_sort(items.begin(), items.end(),
        [&](const T &a, const T &b) { return collator.compare(nameOf(a), nameOf(b)) < 0; });
}

} // namespace tandrel
