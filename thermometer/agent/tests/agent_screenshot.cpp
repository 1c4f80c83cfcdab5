// Shows the character greeting on a real display (Xvfb in the test), over a
// window of one colour (kBackdrop), and saves what the screen shows where
// its window is, as a PNG.
//   agent_screenshot OUTPUT.png
#include "agent_control.h"
#include "agent_window.h"
#include "automation.h"

#include <QApplication>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

void Silent(const std::string&) {}

// Show takes 0.9 s and the greeting 1.8 s: halfway through it the arm is up.
constexpr int kGreetingHalfwayMs = 1800;

// What lies beneath the character: the test looks for it around the figure.
const QColor kBackdrop(255, 0, 255);

struct Greeting {
    IDispatch* agent = nullptr;
    IDispatch* character = nullptr;

    bool Start()
    {
        return SUCCEEDED(CreateObject(u"Agent.Control.1", nullptr, &agent)) &&
               SUCCEEDED(CallMethod(agent, u"Characters.Load(%T)", u"Genie")) &&
               SUCCEEDED(GetValue(u"%o", &character, agent, u"Characters(%T)", u"Genie")) &&
               SUCCEEDED(CallMethod(character, u"MoveTo(%d,%d)", 40, 140)) &&
               SUCCEEDED(CallMethod(character, u"Show")) &&
               SUCCEEDED(CallMethod(character, u"Play(%T)", u"Greet"));
    }
    ~Greeting()
    {
        SafeRelease(character);
        SafeRelease(agent);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the character's window
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: agent_screenshot OUTPUT.png\n");
        return 2;
    }
    QApplication app(argc, argv);
    QWidget backdrop(nullptr, Qt::FramelessWindowHint);
    backdrop.setAutoFillBackground(true);
    QPalette palette = backdrop.palette();
    palette.setColor(QPalette::Window, kBackdrop);
    backdrop.setPalette(palette);
    backdrop.setGeometry(0, 0, 400, 500);
    backdrop.show();
    RegisterAgentControl();
    SetAgentSpeechFunction(Silent);
    SetErrorDisplay(0);
    AutomationInit(1, 1);
    Greeting greeting;
    if (!greeting.Start()) {
        std::fprintf(stderr, "agent_screenshot: the character did not start\n");
        return 1;
    }
    int result = 1;
    QTimer::singleShot(kGreetingHalfwayMs, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<AgentWindow*>(w) && w->isVisible()) {
                const QRect frame = w->frameGeometry();
                const QPixmap shot = w->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
                result = shot.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
            }
        }
        app.quit();
    });
    app.exec();
    return result;
}
