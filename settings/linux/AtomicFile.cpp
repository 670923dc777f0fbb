#include "settings/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrin {

namespace {

// Closes the descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    { }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            (void)::close(m_fd); // nothing to save any more: only read or already failed
    }
    int Get() const { return m_fd; }
    // Closes now and says whether the data reached the file.
    [[nodiscard]] bool Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// A name beside the file that no other save, of this process or another, uses at the moment.
std::filesystem::path TemporaryName(const std::filesystem::path& file, int attempt)
{
    static std::atomic<unsigned> counter { 0 };
    std::string name = "." + file.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-"
        + std::to_string(counter++) + "-" + std::to_string(attempt);
    return file.parent_path() / name;
}

// The file a save replaces: at the end of any symbolic links, so that they survive. The last
// link may point at a file that does not exist yet, which the save then creates.
bool ResolveTarget(const std::filesystem::path& file, std::filesystem::path& target)
{
    constexpr int kMaxLinks = 40; // as the kernel allows in one path
    target = file;
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat info { };
        if (::lstat(target.c_str(), &info) != 0)
            return errno == ENOENT;
        if (!S_ISLNK(info.st_mode))
            return true;
        std::error_code error;
        const std::filesystem::path next = std::filesystem::read_symlink(target, error);
        if (error)
            return false;
        // Not normalised: ".." in a link is the kernel's to resolve, from the link's real folder.
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return false;
}

} // namespace

void LetWritesPastTheSizeLimitFail()
{
    (void)std::signal(SIGXFSZ, SIG_IGN); // cannot fail for a valid signal number
}

FileRead ReadSmallFile(const std::filesystem::path& file)
{
    // Non-blocking, so that a FIFO put in the file's place cannot hang the program.
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.Get() < 0)
        return { errno == ENOENT ? FileRead::Outcome::Missing : FileRead::Outcome::Unreadable, {} };
    struct stat info { };
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)
        || static_cast<std::uintmax_t>(info.st_size) > kMaxSmallFileBytes)
        return { FileRead::Outcome::Unreadable, {} };

    FileRead result { FileRead::Outcome::Read, {} };
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || result.bytes.size() + static_cast<std::size_t>(got) > kMaxSmallFileBytes)
            return { FileRead::Outcome::Unreadable, {} };
        if (got == 0)
            return result;
        result.bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

bool ReplaceFileAtomically(const std::filesystem::path& file, std::string_view bytes)
{
    std::filesystem::path target;
    if (file.empty() || !ResolveTarget(file, target))
        return false;

    struct stat old { };
    const bool hadOld = ::stat(target.c_str(), &old) == 0;
    if (hadOld && !S_ISREG(old.st_mode))
        return false;
    // A file the user made read-only is pinned; the folder being writable is no leave to replace
    // it. Root writes it anyway, as it could in place.
    if (hadOld && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return false;

    std::filesystem::path temporary;
    int raw = -1;
    // 0666 lets the umask decide for a new file, as for any file the user creates.
    for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
        temporary = TemporaryName(target, attempt);
        raw = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (raw < 0 && errno != EEXIST)
            return false;
    }
    if (raw < 0)
        return false;
    FileDescriptor fd(raw);

    bool ok = true;
    if (hadOld) {
        // The replacement gets the old owner, group and mode, or is not made: with another group
        // the old mode could show a private file to other people.
        struct stat made { };
        ok = ::fstat(fd.Get(), &made) == 0;
        if (ok && (made.st_uid != old.st_uid || made.st_gid != old.st_gid))
            ok = ::fchown(fd.Get(), old.st_uid, old.st_gid) == 0;
        ok = ok && ::fchmod(fd.Get(), old.st_mode & 07777) == 0;
    }
    ok = ok && WriteAll(fd.Get(), bytes) && ::fsync(fd.Get()) == 0;
    ok = fd.Close() && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        (void)::unlink(temporary.c_str()); // the old file is untouched; only the attempt goes
        return false;
    }

    // The rename itself reaches the disk with the directory.
    const std::filesystem::path directory
        = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    FileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        (void)::fsync(dir.Get()); // the new file is in place already; this only hastens it
    return true;
}

} // namespace kestrin
