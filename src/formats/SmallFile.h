#pragma once

#include <QByteArray>

namespace tandrel {

// Reads a whole regular file of at most `cap` bytes into `buffer` with plain system calls
// (open, fstat, read, close), for the files read for every app at every refresh.
// `buffer` keeps its allocation between calls, so a caller reading many files can reuse it;
// it holds the file's bytes, or nothing when the read failed.
// Gives 0, or what failed as an errno value: open's own (ENOENT, ENOTDIR, EACCES, ...),
// EINVAL for anything but a regular file (a FIFO or device is never waited on), EFBIG when
// the file is over the cap or grew past its size while being read.
int readSmallFile(const char *path, qint64 cap, QByteArray &buffer);

// An open file for random access: one open and one fstat, then pread for each read.
class ReadOnlyFile
{
public:
    ReadOnlyFile() = default;
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;
    ~ReadOnlyFile();

    // Opens a regular file; 0 or an errno value as readSmallFile gives.
    int open(const char *path);
    qint64 size() const { return m_size; }
    // Reads exactly `length` bytes at `offset`; false when the file ends before.
    bool readAt(qint64 offset, qint64 length, char *out) const;

private:
    int m_fd = -1;
    qint64 m_size = 0;
};

} // namespace tandrel
