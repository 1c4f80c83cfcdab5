// Preferences.ini that is not a regular file (POSIX only: FIFOs).
#include "programmer_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(ProgrammerSettings, AFifoCountsAsAMissingFile)
{
    const auto dir = std::filesystem::temp_directory_path() / ("prefs-fifo-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    // A FIFO under the name would wait for a writer for ever; it counts as missing.
    const std::string fifo = (dir / "Preferences.ini").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto reading = std::async(std::launch::async, [&] { return ReadProgrammerSettings(fifo).has_value(); });
    if (reading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));  // lets the stuck reader go
        ADD_FAILURE() << "reading a FIFO waits for a writer";
    }
    EXPECT_FALSE(reading.get());
    std::filesystem::remove_all(dir);
}

}  // namespace
