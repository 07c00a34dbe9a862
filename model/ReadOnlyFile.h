// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Opening a file that is only read: a preset file and a captured dump alike.
#include <QFile>
#include <QString>

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qob {

// Closes a file handle when it goes out of scope; a negative one is left alone.
struct FdCloser {
    int fd;
    explicit FdCloser(int handle) : fd(handle) {}
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    ~FdCloser() {
        if (fd >= 0)
            ::close(fd);
    }
};

// A regular file open for reading, or why it is not. Opened non-blocking, so that a FIFO opens
// at once and its type then turns it away; the type is taken from the open handle, so the file
// cannot be swapped between the check and the reads.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const QString& path)
        : m_closer(::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)) {
        if (m_closer.fd < 0 || ::fstat(m_closer.fd, &m_info) != 0)
            m_error = qt_error_string(errno).toStdString();
        else if (S_ISDIR(m_info.st_mode))
            m_error = "is a folder";
        else if (!S_ISREG(m_info.st_mode))
            m_error = "is not a regular file";
    }

    bool ok() const { return m_error.empty(); }
    // The system's reason, "is a folder" or "is not a regular file"; empty when ok().
    const std::string& error() const { return m_error; }
    int fd() const { return m_closer.fd; }
    off_t size() const { return m_info.st_size; }

private:
    FdCloser m_closer;
    struct stat m_info {};
    std::string m_error;
};

} // namespace qob
