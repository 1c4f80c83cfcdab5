#include "run_program.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

ProgramRun Run(const std::filesystem::path& program, const std::filesystem::path& workDir, bool readerGone)
{
    ProgramRun run;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return run;
    if (readerGone) {
        ::close(pipeFds[0]);
        pipeFds[0] = -1;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::signal(SIGPIPE, SIG_DFL);  // as a shell starts it, whatever this process does
        if (::chdir(workDir.c_str()) != 0)
            ::_exit(127);
        // No display: boxes are printed, and nobody has to press OK.
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    char buffer[4096];
    ssize_t n;
    while (pipeFds[0] >= 0 && (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        run.output.append(buffer, static_cast<std::size_t>(n));
    if (pipeFds[0] >= 0)
        ::close(pipeFds[0]);
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    return run;
}

}  // namespace

ProgramRun RunProgram(const std::filesystem::path& program, const std::filesystem::path& workDir)
{
    return Run(program, workDir, false);
}

ProgramRun RunProgramIntoClosedPipe(const std::filesystem::path& program, const std::filesystem::path& workDir)
{
    return Run(program, workDir, true);
}

ScratchDirectory::ScratchDirectory(const std::string& tag)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (tag + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()))
        path_ = pattern;
}

ScratchDirectory::~ScratchDirectory()
{
    std::error_code ignored;
    if (!path_.empty())
        std::filesystem::remove_all(path_, ignored);
}

void ScratchDirectory::Write(const std::string& name, const std::string& content) const
{
    std::ofstream(path_ / name, std::ios::binary) << content;
}
