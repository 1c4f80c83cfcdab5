// Ambrel's start-up time (to the window's first paint, with the speech
// engines this machine has) and the cost of one presence check.
//
// Run it as Ambrel would run: on a display, or with QT_QPA_PLATFORM=offscreen.
// Under umockdev's preload with a faked thermometer the presence check also
// includes the preload's overhead; without it, it enumerates the real hidraw
// devices of this machine.
#include "ambrel_startup.h"
#include "ambrel_window.h"
#include "fake_hid_bus.h"
#include "hid_access.h"

#include <QApplication>
#include <QElapsedTimer>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <time.h>
#include <unistd.h>

namespace {

// Milliseconds from the process's start (kernel's record) to now.
double SinceProcessStart()
{
    std::ifstream stat("/proc/self/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    double startMs = std::stod(field) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6 - startMs;
}

class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            atMs = SinceProcessStart();
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }
    bool painted = false;
    double atMs = 0;
};

// The speech engines' share of the start-up.
SpeechApi g_speech;
double g_speechInitMs = 0;

std::int32_t TimedSpeechInit()
{
    auto start = std::chrono::steady_clock::now();
    std::int32_t engines = g_speech.init ? g_speech.init() : 0;
    g_speechInitMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return engines;
}

void MeasurePresenceCheck(AmbrelWindow& window)
{
    constexpr int kRounds = 200;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i)
        window.PresenceCheck();
    auto spent = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start);
    std::printf("presence check:            %.0f us each (%d rounds, thermometer %s)\n", spent.count() / kRounds,
                kRounds, window.State().LastPresence ? "present" : "absent");
}

}  // namespace

int main(int argc, char** argv)
{
    double atMain = SinceProcessStart();
    std::unique_ptr<FakeHidBus> bus;
    if (FakeHidBus::Available()) {
        bus = std::make_unique<FakeHidBus>();
        bus->PlugThermometer();
    }
    QApplication app(argc, argv);
    QApplication::setStyle("Fusion");
    FirstPaint paint;
    app.installEventFilter(&paint);
    g_speech = SystemSpeech();
    SpeechApi timed = g_speech;
    timed.init = TimedSpeechInit;
    auto window = StartAmbrel(AmbrelServices{timed, SystemAgent()});
    if (!window) {
        std::printf("no speech engine: Ambrel would end here\n");
        return 0;
    }
    app.exec();
    app.removeEventFilter(&paint);
    std::printf("process start to main:    %.0f ms (clock-tick resolution)\n", atMain);
    std::printf("start to window shown:    %.0f ms (goal < 100 ms)\n", paint.atMs);
    std::printf("  of which SpeechInit:    %.0f ms\n", g_speechInitMs);
    MeasurePresenceCheck(*window);
    return 0;
}
