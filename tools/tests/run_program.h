// Running a tool binary as a user would, in a working directory of the test's
// choosing, with message boxes going to its standard output.
#pragma once

#include <filesystem>
#include <string>

struct ProgramRun {
    std::string output;  // standard output
    int exitCode = -1;   // -1 when it did not exit normally
};

ProgramRun RunProgram(const std::filesystem::path& program, const std::filesystem::path& workDir);

// The same with standard output a pipe nobody reads any more (tool | true);
// the output is empty.
ProgramRun RunProgramIntoClosedPipe(const std::filesystem::path& program, const std::filesystem::path& workDir);

// A fresh directory under the temporary directory, removed by the destructor.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string& tag);
    ~ScratchDirectory();
    const std::filesystem::path& path() const { return path_; }
    void Write(const std::string& name, const std::string& content) const;

private:
    std::filesystem::path path_;
};
