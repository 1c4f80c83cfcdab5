// How long start-up and a press of "Сказать" take when the speech service is
// absent, silent or without audio. Each run is a fresh process in a private
// home (the library starts once per process); the child reports its time.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "speech_output.h"
#include "speech_probe.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char* kNoAudioConfig =
    "AudioOutputMethod \"pulse\"\n"
    "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
    "DefaultModule espeak-ng\n"
    "Timeout 5\n";

std::string MakeHome() {
  std::string pattern = (fs::temp_directory_path() / "ambrel-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  fs::create_directories(pattern + "/run/speech-dispatcher");
  fs::permissions(pattern + "/run", fs::perms::owner_all);
  fs::create_directories(pattern + "/config/speech-dispatcher");
  setenv("HOME", pattern.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (pattern + "/run").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (pattern + "/config").c_str(), 1);
  return pattern;
}

void ListenSilently(const std::string& home) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  (home + "/run/speech-dispatcher/speechd.sock").copy(address.sun_path, sizeof address.sun_path - 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 4) != 0)
    std::abort();
}

void EndDaemon(const std::string& home) {
  pid_t pid = 0;
  std::ifstream(home + "/run/speech-dispatcher/pid/speech-dispatcher.pid") >> pid;
  if (pid > 0) kill(pid, SIGKILL);
  fs::remove_all(home);
}

// Runs `measure` in a child process and returns the seconds it reports.
double InChild(const std::function<double()>& measure) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) std::abort();
  const pid_t child = fork();
  if (child == 0) {
    int argc = 1;
    char name[] = "bench";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const double seconds = measure();
    if (write(pipeFds[1], &seconds, sizeof seconds) != sizeof seconds) _exit(1);
    _exit(0);
  }
  double seconds = -1;
  if (read(pipeFds[0], &seconds, sizeof seconds) != sizeof seconds) seconds = -1;
  close(pipeFds[0]);
  close(pipeFds[1]);
  waitpid(child, nullptr, 0);
  return seconds;
}

double SecondsOf(const std::function<void()>& step) {
  const auto start = Clock::now();
  step();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void Report(benchmark::State& state, double seconds) {
  if (seconds < 0) state.SkipWithError("child failed");
  state.SetIterationTime(seconds < 0 ? 0 : seconds);
}

void BM_StartWithoutService(benchmark::State& state) {
  for (auto _ : state) {
    const std::string home = MakeHome();
    setenv("SPEECHD_CMD", (home + "/absent").c_str(), 1);
    Report(state, InChild([] { return SecondsOf([] { SpeechInit(nullptr, nullptr, nullptr); }); }));
    unsetenv("SPEECHD_CMD");
    EndDaemon(home);
  }
}

void BM_StartWithSilentService(benchmark::State& state) {
  for (auto _ : state) {
    const std::string home = MakeHome();
    ListenSilently(home);
    Report(state, InChild([] { return SecondsOf([] { SpeechInit(nullptr, nullptr, nullptr); }); }));
    EndDaemon(home);
  }
}

// The slowest of ten presses (select, volume, say) on a service voice whose
// daemon cannot play: libspeechd itself would block from the second say on.
void BM_PressWithServiceWithoutAudio(benchmark::State& state) {
  for (auto _ : state) {
    const std::string home = MakeHome();
    std::ofstream(home + "/config/speech-dispatcher/speechd.conf") << kNoAudioConfig;
    Report(state, InChild([] {
      SpeechProbeSetServiceWait(60000);
      if (SpeechInit(nullptr, nullptr, nullptr) != 3) return -1.0;
      double slowest = 0;
      for (int press = 0; press < 10; ++press) {
        slowest = std::max(slowest, SecondsOf([] {
          SpeechSelectVoice(0);
          SpeechSetVolume(80);
          SpeechSay("Текущая температура 23 °C");
        }));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      return slowest;
    }));
    EndDaemon(home);
  }
}

}  // namespace

BENCHMARK(BM_StartWithoutService)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StartWithSilentService)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PressWithServiceWithoutAudio)
    ->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2);

BENCHMARK_MAIN();
