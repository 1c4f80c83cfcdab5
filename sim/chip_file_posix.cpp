#include "chip_file.h"

#include "atomic_file.h"
#include "ini_text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

namespace {

// The lock must sit on the file the name refers to now: a port closing in
// another process replaces the file by renaming a new one over it.
bool StillNamed(int fd, const std::string& path)
{
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

}  // namespace

int LockFileExclusively(const std::string& path, bool& busy, int& error)
{
    busy = false;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            error = errno;
            return -1;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            error = errno;
            busy = error == EWOULDBLOCK;
            ::close(fd);
            return -1;
        }
        if (StillNamed(fd, path))
            return fd;
        ::close(fd);
    }
    busy = true;
    return -1;
}

void UnlockFile(int fd)
{
    if (fd >= 0)
        ::close(fd);  // closing the only descriptor drops the flock
}

bool KeepCopyOfFile(const std::string& path, const std::string& copyPath)
{
    // A hard link keeps the old content whole, however large, and appears at
    // once; where links are not allowed, copy it.
    const std::string temp = copyPath + ".new";
    ::unlink(temp.c_str());
    if (::link(path.c_str(), temp.c_str()) == 0) {
        if (::rename(temp.c_str(), copyPath.c_str()) == 0)
            return true;
        ::unlink(temp.c_str());
    }
    const std::optional<std::string> content = ReadFileText(path);
    return content && WriteFileAtomically(copyPath, *content);
}

std::string InWorkingDirectory(const std::string& name)
{
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) == nullptr)
        return name;
    std::string path = buffer;
    if (path.back() != '/')
        path += '/';
    return path + name;
}

std::string SystemErrorText(int error)
{
    switch (error) {
    case EACCES:
    case EPERM: return "нет прав на запись";
    case EROFS: return "файловая система только для чтения";
    case ENOENT: return "каталог не существует";
    case ENOSPC: return "нет места на диске";
    default: return std::strerror(error);
    }
}

}  // namespace sim
