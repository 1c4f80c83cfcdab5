#include "atomic_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool WriteAll(int fd, std::string_view content)
{
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file path finally names after every symbolic link on the way (the
// last link's target when it does not exist yet); path itself when it is no
// link. Gives up after as many links as the system would follow.
std::string FollowLinks(std::string path)
{
    for (int hops = 0; hops < 40; ++hops) {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0)
            return path;
        std::string next(target, static_cast<std::size_t>(n));
        if (next[0] != '/' && path.find('/') != std::string::npos)
            next = DirectoryOf(path) + "/" + next;
        path = std::move(next);
    }
    return path;
}

}  // namespace

bool WriteFileAtomically(const std::string& link, std::string_view content)
{
    // A link stays a link: the file it leads to is the one replaced.
    const std::string path = FollowLinks(link);
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    // A file its owner may read but not write is one the user protected; a
    // rename would replace it all the same, so it is refused here.
    if (exists && (old.st_mode & S_IRUSR) && !(old.st_mode & S_IWUSR))
        return false;

    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;

    // Keep the permissions an existing file had, but never take over a mode
    // that would lock its owner out of what we write; a new file gets the
    // usual 0644 (mkstemp creates 0600).
    ::fchmod(fd, exists ? ((old.st_mode & 07777) | S_IRUSR | S_IWUSR) : 0644);

    const bool written = WriteAll(fd, content) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    const int dir = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}
