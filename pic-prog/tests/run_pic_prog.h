// Runs the pic-prog binary as a user would: in a working directory of the
// test's choosing, with its own arguments, standard output and standard error
// kept apart, standard error on a pseudo-terminal when asked, and Ctrl+C
// (SIGINT) sent after a while when asked.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct PicProgRun {
    std::string out;
    std::string err;
    int exitCode = -1;  // -1 when it did not exit normally
    int signal = 0;     // the signal that ended it, 0 when it exited
};

struct RunOptions {
    bool stderrOnTerminal = false;
    int interruptAfterMs = -1;
    std::filesystem::path standardInput{};  // a file; empty: the test's own
};

PicProgRun RunPicProg(const std::filesystem::path& workDir, const std::vector<std::string>& args,
                      const RunOptions& options = {});

// A fresh directory under the temporary directory, removed by the destructor.
struct ScratchDir {
    explicit ScratchDir(const std::string& tag);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::filesystem::path path;
    void Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;
};
