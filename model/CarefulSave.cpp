// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/CarefulSave.h"

#include "model/ReadOnlyFile.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qob {
namespace {

// A save that cannot go on: the OS reason, or what is wrong with the target.
struct SaveError {
    std::string reason;
};

[[noreturn]] void failWithErrno(int error = errno) {
    throw SaveError{qt_error_string(error).toStdString()};
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The kernel's rule for links in shared folders such as /tmp (fs.protected_symlinks), which a
// link we resolve ourselves would bypass: there, only our own links and the folder owner's are
// followed, so nobody can point a save of root's at a file of their choice.
bool mayFollow(const std::string& link, const struct stat& linkInfo) {
    struct stat folder {};
    if (::stat(folderOf(link).c_str(), &folder) != 0)
        failWithErrno();
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || linkInfo.st_uid == ::geteuid() || linkInfo.st_uid == folder.st_uid;
}

// The file a save writes to: symbolic links followed, also to a target that does not exist yet
// (it is created there, as the shell's > would). A relative target counts from its link's folder.
std::string linkTarget(std::string path) {
    constexpr int kMaxHops = 40; // the kernel's own limit
    for (int hops = 0;; ++hops) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        if (hops == kMaxHops)
            failWithErrno(ELOOP);
        if (!mayFollow(path, info))
            failWithErrno(EACCES);
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0)
            failWithErrno();
        if (static_cast<std::size_t>(n) == target.size())
            failWithErrno(ENAMETOOLONG);
        target.resize(static_cast<std::size_t>(n));
        path = target.front() == '/' ? target : folderOf(path) + '/' + target;
    }
}

// Writes `bytes` from the file's start on, again after a signal. Returns how many went out:
// fewer than all when a write failed, errno then saying why (EIO for one that wrote nothing).
std::size_t pwriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = EIO;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

// Fills `out` from the file's start, again after a signal: how many bytes there were (fewer at
// the file's end), or nothing when a read failed, errno then saying why.
std::optional<std::size_t> preadAll(int fd, std::string& out) {
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t n = ::pread(fd, out.data() + got, out.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

// A new file next to the target, removed again unless it is renamed over the target.
class TempFile {
public:
    TempFile(const std::string& target, mode_t mode) {
        static constexpr std::string_view kChars =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        for (int attempt = 0;; ++attempt) {
            m_path = target + '.';
            for (int i = 0; i < 6; ++i)
                m_path +=
                    kChars[QRandomGenerator::global()->bounded(static_cast<int>(kChars.size()))];
            m_fd =
                ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
            if (m_fd >= 0)
                return;
            if (errno != EEXIST || attempt == 100)
                failWithErrno();
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_renamed)
            ::unlink(m_path.c_str());
    }

    int fd() const { return m_fd; }

    void renameOver(const std::string& target) {
        // close() may be the first to report a failed write-back (network file systems).
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0 || ::rename(m_path.c_str(), target.c_str()) != 0)
            failWithErrno();
        m_renamed = true;
    }

private:
    std::string m_path;
    int m_fd = -1;
    bool m_renamed = false;
};

// Gives the new file the old one's owner, group and permission bits, in that order (a change of
// owner clears the set-id bits). False where the system does not let us (not root, or a file
// system without owners): then only the old file itself can keep them.
bool takeOver(int fd, const struct stat& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 || ::fchmod(fd, old.st_mode & 07777) != 0) {
        if (errno == EPERM)
            return false;
        failWithErrno();
    }
    return true;
}

// Writes `bytes` into the existing file itself, so that it stays the same file: its other names
// see the new content, and owner, group and permissions stay whatever they are. The bytes it
// overwrites are kept, and put back when a write fails (a full disk, a size limit).
void rewriteInPlace(const std::string& target, const struct stat& old, std::string_view bytes) {
    const int fd = ::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
    if (fd < 0)
        failWithErrno();
    const FdCloser closer{fd};
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        failWithErrno();
    if (now.st_dev != old.st_dev || now.st_ino != old.st_ino || !S_ISREG(now.st_mode))
        throw SaveError{"was replaced while saving"};

    std::string before(std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(now.st_size)),
                       '\0');
    const std::optional<std::size_t> got = preadAll(fd, before);
    if (!got)
        failWithErrno();
    before.resize(*got);

    std::size_t done = 0;
    // Puts back the bytes written so far and the old length; false when that fails as well.
    const auto putBack = [&] {
        const std::size_t back = std::min(done, before.size());
        return pwriteAll(fd, std::string_view(before).substr(0, back)) == back &&
               ::ftruncate(fd, now.st_size) == 0;
    };
    const auto fail = [&](int error) {
        const std::string reason = qt_error_string(error).toStdString();
        throw SaveError{putBack() ? reason
                                  : reason + "; the old content could not be put back either"};
    };
    done = pwriteAll(fd, bytes);
    if (done < bytes.size())
        fail(errno);
    if (::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0)
        fail(errno);
    if (::fsync(fd) != 0)
        failWithErrno();
}

void syncFolder(const std::string& folder) {
    // Makes the rename itself last; where a file system cannot, the file is in place anyway.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The usual case is atomic: a new file in the same folder, complete and on disk, renamed over
// the old one, so that a full disk or a crash leaves either the old file or the new one. The old
// file's owner, group and permissions go to the new file. A file with other names (hard links),
// or whose owner we cannot give away, is instead rewritten in place; the complete new content
// then stays on disk beside it until the rewrite is done, so a crash in between loses nothing.
void saveBytes(const std::string& path, std::string_view bytes, const detail::SaveSteps& steps) {
    if (path.empty())
        failWithErrno(ENOENT);
    if (path.back() == '/')
        throw SaveError{"names a folder, not a file"};
    const std::string target = linkTarget(path);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        failWithErrno();
    // The rename would put a plain file in place of a device or a FIFO (even /dev/null, for root).
    if (exists && S_ISDIR(old.st_mode))
        throw SaveError{"is a folder"};
    if (exists && !S_ISREG(old.st_mode))
        throw SaveError{"is not a regular file"};
    // Root passes every access check, but a file nobody may write is meant to stay as it is.
    if (exists && (old.st_mode & 0222) == 0)
        throw SaveError{"is read-only"};
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        failWithErrno();

    // Private until it has the old file's permissions; a new file gets the usual ones (umask).
    TempFile staged(target, exists ? 0600 : 0666);
    if (pwriteAll(staged.fd(), bytes) < bytes.size())
        failWithErrno();
    const bool whole = !exists || (old.st_nlink == 1 && takeOver(staged.fd(), old));
    if (::fsync(staged.fd()) != 0)
        failWithErrno();
    if (whole) {
        staged.renameOver(target);
        syncFolder(folderOf(target));
        return;
    }
    if (steps.beforeRewrite)
        steps.beforeRewrite();
    rewriteInPlace(target, old, bytes);
}

} // namespace

FileResult fileFailure(const QString& path, const std::string& reason) {
    return {false, path.toStdString() + ": " + reason};
}

FileResult saveFileAtomically(const QString& path, std::string_view bytes) {
    return detail::saveFileAtomically(path, bytes, detail::SaveSteps{});
}

namespace detail {

FileResult saveFileAtomically(const QString& path, std::string_view bytes, const SaveSteps& steps) {
    try {
        saveBytes(QFile::encodeName(path).toStdString(), bytes, steps);
    } catch (const SaveError& e) {
        return fileFailure(path, e.reason);
    }
    return {};
}

} // namespace detail

} // namespace qob
