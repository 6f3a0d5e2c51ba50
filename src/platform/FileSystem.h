#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <QStringList>

#include <exception>
#include <optional>

namespace tandrel {

// A failed file operation, carrying the operating system's own description unchanged.
class FileSystemError : public std::exception
{
public:
    explicit FileSystemError(QString description);
    QString errorDescription() const { return m_description; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};

// Synchronous file services. Paths are plain absolute paths. Failures throw
// FileSystemError unless the function says otherwise; the creating, writing and renaming
// ones name the path before the system's description.
namespace fs {

// The user's home folder from HOME: absolute, cleaned, never the file-system root.
// Nothing when HOME is unset, empty, relative, "/" or not text in the system's encoding:
// callers must not guess a home.
std::optional<QString> homeDirectory();

// What is at a path, without following a final symbolic link.
enum class ItemKind { Missing, File, Directory, Link, Other };
ItemKind itemKind(const QString &path);

// The path with every symbolic link and "." or ".." resolved; empty when it does not exist.
QString resolvedPath(const QString &path);

// Immediate entries as full paths, hidden ones included, in the order the system gives.
// Throws when the folder is missing, not a folder or unreadable.
QStringList contentsOfDirectory(const QString &folder);

// True when anything is at the path, a broken symbolic link included.
bool fileExists(const QString &path);
// True for an existing regular file (links followed) that the user may execute.
bool isExecutableFile(const QString &path);

// The bytes the item takes on disk, a folder with everything in it, as `du` counts them:
// a link is counted as itself and never followed, a file with several hard links once,
// nothing on another file system. What cannot be read is left out; 0 when nothing is there.
qint64 diskUsage(const QString &path);

// Creates the folder and any missing parents; an existing folder is no failure.
void createDirectory(const QString &folder);
// Sets the POSIX permission bits, for example 0755.
void setPosixPermissions(const QString &path, int mode);

// Removes the item and, for a folder, everything in it. A symbolic link, at the top or
// anywhere inside, is removed as a link: nothing a link points to is ever touched.
void removeItem(const QString &path);
// Removes an empty folder; a folder with anything in it, or a link, is an error.
void removeEmptyDirectory(const QString &path);
// Moves the item to the user's trash.
void trashItem(const QString &path);

// Whole-file reads are capped: a larger file is an error, not a huge allocation.
QByteArray readFile(const QString &path, qint64 maxSize);
// Replaces the file as a whole with the UTF-8 text, through a temporary file.
void writeTextAtomically(const QString &path, const QString &text);
// Writes exactly the bytes.
void writeBytes(const QString &path, const QByteArray &bytes);

// Renames the item (a link moves as a link), replacing what is at `to` when the system
// allows it.
void renameItem(const QString &from, const QString &to);
// Renames the item only when nothing is at `to`, in one step: false when something is.
bool renameNoReplace(const QString &from, const QString &to);
// Swaps two existing items in one step (a folder too, which a rename cannot replace). Where
// the file system cannot swap, a file is renamed over the other and a folder refused.
void exchangeItems(const QString &from, const QString &to);

// A file written in the background of a folder and given its name at the end, in one step
// that never replaces anything: on Linux a file without a name (O_TMPFILE), so an
// interrupted write leaves nothing; elsewhere a hidden temporary name beside the final one,
// removed when the write fails or is abandoned.
class NewFile
{
public:
    explicit NewFile(const QString &path);
    ~NewFile();
    NewFile(const NewFile &) = delete;
    NewFile &operator=(const NewFile &) = delete;

    int descriptor() const { return m_fd; }
    // Flushes to disk and names the file; false when something is at the path already.
    bool commit();

private:
    QString m_path;
    QByteArray m_temporary; // empty for a file without a name
    int m_fd = -1;
    bool m_named = false;
};

} // namespace fs
} // namespace tandrel
