#pragma once

#include <QCollator>
#include <QList>
#include <QLocale>

#include <algorithm>

namespace tandrel {

// Sorts by name in the user's locale, ignoring case; equal names keep their order.
template<typename T, typename NameOf>
void sortByName(QList<T> &items, NameOf nameOf)
{
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(items.begin(), items.end(), [&](const T &a, const T &b) {
        return collator.compare(nameOf(a), nameOf(b)) < 0;
    });
}

// The path's last extension equals "app" exactly: "Mail.APP" and "Mail" are not bundles.
bool hasAppExtension(const QString &path);

} // namespace tandrel
