#include "pty_pair.h"

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

PtyPair OpenPtyPair()
{
    PtyPair pair;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        if (master >= 0)
            ::close(master);
        return pair;
    }
    pair.master = master;
    pair.slavePath = ::ptsname(master);
    return pair;
}

void ClosePtyPair(PtyPair& pair)
{
    if (pair.master >= 0)
        ::close(pair.master);
    pair.master = -1;
}

int FindOpenDescriptor(const std::string& path)
{
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int found = -1;
    while (dirent* entry = ::readdir(dir)) {
        char target[PATH_MAX];
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == path) {
            found = std::atoi(entry->d_name);
            break;
        }
    }
    ::closedir(dir);
    return found;
}
