// ambrel-read against a faked thermometer that reports every 50 ms.
#include "fake_hid_bus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Sends the current report every 50 ms, as the thermometer repeats itself.
class Reporter {
public:
    Reporter(FakeHidBus& bus, int device) : bus_(bus), device_(device), thread_([this] { Run(); }) {}
    ~Reporter()
    {
        stop_ = true;
        thread_.join();
    }
    void Set(std::vector<std::uint8_t> report)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        report_ = std::move(report);
    }
    void Pause(bool paused) { paused_ = paused; }

private:
    void Run()
    {
        while (!stop_) {
            if (!paused_) {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!report_.empty())
                    bus_.Send(device_, report_);
            }
            std::this_thread::sleep_for(50ms);
        }
    }
    FakeHidBus& bus_;
    int device_;
    std::mutex mutex_;
    std::vector<std::uint8_t> report_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> paused_{false};
    std::thread thread_;
};

class Child {
public:
    explicit Child(const std::vector<std::string>& args)
    {
        int out[2], err[2];
        EXPECT_EQ(pipe(out), 0);
        EXPECT_EQ(pipe(err), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        std::vector<char*> argv{const_cast<char*>(AMBREL_READ_PROGRAM)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid_, AMBREL_READ_PROGRAM, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        outFd_ = out[0];
        errFd_ = err[0];
    }
    ~Child()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(outFd_);
        close(errFd_);
    }

    // Collects output until done() holds or the time is up.
    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= end)
                return false;
            pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
            if (poll(fds, 2, 20) > 0) {
                Drain(outFd_, fds[0].revents, out);
                Drain(errFd_, fds[1].revents, err);
            }
        }
        return true;
    }

    // Exit code after the output has been read to its end.
    int Finish()
    {
        WaitFor([this] { return outClosed_ && errClosed_; }, 10000ms);
        int status = 0;
        EXPECT_EQ(waitpid(pid_, &status, 0), pid_);
        pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void Signal(int signal) { kill(pid_, signal); }

    std::string out, err;

private:
    void Drain(int fd, short revents, std::string& into)
    {
        if (!(revents & (POLLIN | POLLHUP)))
            return;
        char buffer[512];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0)
            into.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0)
            (fd == outFd_ ? outClosed_ : errClosed_) = true;
    }
    pid_t pid_ = 0;
    int outFd_ = -1, errFd_ = -1;
    bool outClosed_ = false, errClosed_ = false;
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string FileText(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class AmbrelRead : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!FakeHidBus::Available())
            GTEST_SKIP() << "needs umockdev's preload";
        bus_ = std::make_unique<FakeHidBus>();
    }
    std::unique_ptr<FakeHidBus> bus_;
};

TEST_F(AmbrelRead, OneReadingAndTheCasesWithoutOne)
{
    {
        Child none({});
        EXPECT_EQ(none.Finish(), 3);
        EXPECT_EQ(none.out, "");
        EXPECT_NE(none.err.find("термометр не подключён"), std::string::npos) << none.err;
    }
    for (const char* bad : {"--watch=0", "--format=xml", "--bogus"}) {
        Child usage({bad});
        EXPECT_EQ(usage.Finish(), 2) << bad;
        EXPECT_EQ(usage.out, "") << bad;
    }
    const int device = bus_->PlugThermometer();
    Reporter reporter(*bus_, device);
    reporter.Set({0x80, 0x0C});  // 200 °C: outside the plausible range
    {
        Child implausible({});
        EXPECT_EQ(implausible.Finish(), 3);
        EXPECT_EQ(implausible.out, "");
        EXPECT_NE(implausible.err.find("не дал годного показания"), std::string::npos) << implausible.err;
    }
    reporter.Set({0x7F, 0x01});  // raw 383: 23.9375 rounds to 23.9
    Child one({});
    EXPECT_EQ(one.Finish(), 0);
    EXPECT_EQ(one.out, "23.9\n");
    Child json({"--format", "json"});
    EXPECT_EQ(json.Finish(), 0);
    EXPECT_TRUE(std::regex_match(json.out, std::regex(R"(\{"time":"[0-9T:-]{19}[+-]\d\d:\d\d","celsius":23\.9\}\n)")))
        << json.out;
}

TEST_F(AmbrelRead, WatchGoesOnAcrossUnplugAndReplugUntilSigterm)
{
    const int device = bus_->PlugThermometer();
    auto reporter = std::make_unique<Reporter>(*bus_, device);
    reporter->Set({0x78, 0x01});  // 23.5
    Child watch({"--watch", "0.2", "--format", "csv"});
    const std::regex line(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d,(-?\d+\.\d))");
    ASSERT_TRUE(watch.WaitFor([&] { return Lines(watch.out).size() >= 3; })) << watch.out << watch.err;
    std::vector<std::string> lines = Lines(watch.out);
    EXPECT_EQ(lines[0], "time,celsius");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[1], m, line)) << lines[1];
    EXPECT_EQ(m[1], "23.5");

    reporter.reset();
    bus_->Unplug(device);
    ASSERT_TRUE(watch.WaitFor([&] { return watch.err.find("не подключён") != std::string::npos; })) << watch.err;
    const std::size_t linesAtUnplug = Lines(watch.out).size();
    std::this_thread::sleep_for(600ms);
    EXPECT_LE(Lines(watch.out).size(), linesAtUnplug + 1) << "lines go on without a thermometer";

    bus_->Replug(device);
    reporter = std::make_unique<Reporter>(*bus_, device);
    reporter->Set({0x90, 0x01});  // 25.0
    ASSERT_TRUE(watch.WaitFor([&] { return watch.out.find(",25.0\n") != std::string::npos; })) << watch.out << watch.err;
    EXPECT_NE(watch.err.find("снова подключён"), std::string::npos) << watch.err;

    watch.Signal(SIGTERM);
    EXPECT_EQ(watch.Finish(), 0);
    lines = Lines(watch.out);
    for (std::size_t i = 1; i < lines.size(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i], line)) << lines[i];
}

TEST_F(AmbrelRead, PrometheusFileIsReplacedWholeEachInterval)
{
    const fs::path folder = fs::path(testing::TempDir()) / ("ambrel-read-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path file = folder / "thermometer.prom";
    const int device = bus_->PlugThermometer();
    auto reporter = std::make_unique<Reporter>(*bus_, device);
    reporter->Set({0x78, 0x01});
    Child exporter({"--watch", "0.2", "--prometheus", file.string()});
    const std::string node = bus_->NodeOf(device);
    const std::string up =
        "# HELP vantrel_thermometer_celsius Температура USB-термометра, °C.\n"
        "# TYPE vantrel_thermometer_celsius gauge\n"
        "vantrel_thermometer_celsius{device=\"" + node + "\"} 23.5\n"
        "# HELP vantrel_thermometer_up 1, если термометр дал годное показание, иначе 0.\n"
        "# TYPE vantrel_thermometer_up gauge\n"
        "vantrel_thermometer_up{device=\"" + node + "\"} 1\n";
    ASSERT_TRUE(exporter.WaitFor([&] { return FileText(file) == up; })) << FileText(file) << exporter.err;

    // Each interval puts a new file in place instead of writing into the old
    // one: a scrape holding the old file still reads it whole.
    struct stat first{}, later{};
    ASSERT_EQ(stat(file.c_str(), &first), 0);
    std::ifstream held(file);
    ASSERT_TRUE(exporter.WaitFor([&] { return stat(file.c_str(), &later) == 0 && later.st_ino != first.st_ino; }));
    std::stringstream heldText;
    heldText << held.rdbuf();
    EXPECT_EQ(heldText.str(), up);
    EXPECT_EQ((later.st_mode & 0777), 0644u);

    reporter.reset();
    bus_->Unplug(device);
    const std::string down = "vantrel_thermometer_up{device=\"" + node + "\"} 0\n";
    ASSERT_TRUE(exporter.WaitFor([&] {
        std::string text = FileText(file);
        return text.size() >= down.size() && text.compare(text.size() - down.size(), down.size(), down) == 0;
    })) << FileText(file);
    EXPECT_EQ(FileText(file).find("vantrel_thermometer_celsius{"), std::string::npos);

    exporter.Signal(SIGINT);
    EXPECT_EQ(exporter.Finish(), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << "temporary files left";
    fs::remove_all(folder);
}

}  // namespace
