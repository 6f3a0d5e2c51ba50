#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace tandrel {

// Small vector symbols drawn by the app itself, so every platform shows the same marks.
enum class Symbol {
    Globe, // language menu
    ArrowClockwise, // refresh
    MagnifyingGlass, // search field
    LockFill, // sandboxed apps
    OpenApp, // open an instance
    Folder, // show in the file manager
    Trash, // delete
};

// The symbol drawn in `color`, `pointSize` points high, sharp at the device pixel ratio.
QPixmap symbolPixmap(Symbol symbol, const QColor &color, qreal pointSize, qreal devicePixelRatio = 1.0);
// An icon for tool buttons, in the palette's button-text colour for each mode and state.
QIcon symbolIcon(Symbol symbol, qreal pointSize);

} // namespace tandrel
