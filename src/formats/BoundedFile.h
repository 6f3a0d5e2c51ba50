#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace tandrel {

// The bytes of a regular file no larger than the cap, read through one descriptor: a
// pipe, device or folder, a larger file or any error gives nothing, and nothing is
// allocated before the size is known. Opening never waits (a FIFO has no writer).
std::optional<QByteArray> readBoundedFile(const QString &path, qint64 cap);

} // namespace tandrel
