#include "run_pic_prog.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Reads both outputs to their end, sending SIGINT to child at the deadline.
void Collect(int outFd, int errFd, pid_t child, int interruptAfterMs, PicProgRun& run)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(interruptAfterMs);
    bool interrupted = interruptAfterMs < 0;
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open = 2;
    while (open > 0) {
        int timeout = -1;
        if (!interrupted) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            timeout = static_cast<int>(std::max<int64_t>(0, left.count()));
        }
        const int ready = ::poll(fds, 2, timeout);
        if (!interrupted && std::chrono::steady_clock::now() >= deadline) {
            ::kill(child, SIGINT);
            interrupted = true;
        }
        if (ready <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else {
                // End of a pipe, or EIO once the pseudo-terminal's last writer is gone.
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

}  // namespace

PicProgRun RunPicProg(const std::filesystem::path& workDir, const std::vector<std::string>& args,
                      const RunOptions& options)
{
    PicProgRun run;
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0)
        return run;
    if (options.stderrOnTerminal) {
        winsize size{};
        size.ws_col = 80;
        size.ws_row = 24;
        if (::openpty(&errPipe[0], &errPipe[1], nullptr, nullptr, &size) != 0)
            return run;
        ::fcntl(errPipe[0], F_SETFD, FD_CLOEXEC);
        ::fcntl(errPipe[1], F_SETFD, FD_CLOEXEC);
    } else if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        return run;
    }
    const std::string program = std::string(BENCH_BIN_DIR) + "/pic-prog";
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        if (::chdir(workDir.c_str()) != 0)
            ::_exit(127);
        if (!options.standardInput.empty()) {
            const int in = ::open(options.standardInput.c_str(), O_RDONLY);
            if (in < 0 || ::dup2(in, STDIN_FILENO) < 0)
                ::_exit(127);
        }
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    Collect(outPipe[0], errPipe[0], child, options.interruptAfterMs, run);
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child) {
        if (WIFEXITED(status))
            run.exitCode = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            run.signal = WTERMSIG(status);
    }
    return run;
}

ScratchDir::ScratchDir(const std::string& tag)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (tag + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()))
        path = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    if (!path.empty())
        std::filesystem::remove_all(path, ignored);
}

void ScratchDir::Write(const std::string& name, const std::string& content) const
{
    std::ofstream(path / name, std::ios::binary) << content;
}

std::string ScratchDir::Read(const std::string& name) const
{
    std::ifstream in(path / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
