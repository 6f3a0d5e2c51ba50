#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

// GLib's type, declared here so that no header of ours pulls GLib in.
typedef struct _GKeyFile GKeyFile;

namespace tandrel {

// The group every desktop entry starts with.
inline constexpr char desktopEntryGroup[] = "Desktop Entry";

// An entry is a few kilobytes; one far larger is not an entry (and may be planted).
inline constexpr qint64 maxDesktopEntrySize = 256 * 1024;

struct KeyFileFree
{
    void operator()(GKeyFile *file) const;
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileFree>;

// An empty key file to fill.
KeyFile newKeyFile();
// The desktop entry at the path, read by GKeyFile with every translation kept: null when
// it is unreadable, larger than maxDesktopEntrySize, not a key file, or does not start
// with the [Desktop Entry] group. A final link is followed (system entries often are).
KeyFile loadDesktopKeyFile(const QString &path);
// The same for an entry's bytes.
KeyFile parseDesktopKeyFile(const QByteArray &bytes);

// The value of a key of [Desktop Entry] (or of the group), unescaped; `key` may carry a
// locale ("Name[es]"). Empty when missing.
QString keyString(GKeyFile *file, const QString &key, const char *group = desktopEntryGroup);
bool keyBoolean(GKeyFile *file, const QString &key);
bool hasKey(GKeyFile *file, const QString &key);
// The key names of [Desktop Entry] (or of the group) in file order, at most `limit` of them.
QStringList keyNames(GKeyFile *file, int limit, const char *group = desktopEntryGroup);
// Sets a key of [Desktop Entry] (or of the group) to the text, escaped by GKeyFile.
void setKeyString(
    GKeyFile *file, const QString &key, const QString &value, const char *group = desktopEntryGroup);
// The whole file as text.
QString keyFileText(GKeyFile *file);

} // namespace tandrel
