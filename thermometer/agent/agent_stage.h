// The character's request queue. Requests may come from any thread; they
// are carried to the GUI thread by queued calls and acted out there, one
// after another, in the character's window.
#pragma once

#include <QPoint>
#include <QPointer>
#include <QString>

#include <deque>
#include <memory>

class AgentWindow;
class QTimer;

struct AgentRequest {
    enum Kind { Show, Hide, MoveTo, Play, Speak, Stop } kind;
    QString text;  // animation name or spoken text
    int x = 0;
    int y = 0;
};

class AgentStage : public std::enable_shared_from_this<AgentStage> {
public:
    ~AgentStage();

    // Any thread; returns at once.
    void Post(const AgentRequest& request);
    static bool KnownAnimation(const QString& name);

private:
    // Everything below runs on the GUI thread only.
    void Take(const AgentRequest& request);
    void Pump();
    bool CurrentFinished() const;
    void Begin(const AgentRequest& request);
    void Finish();
    void Animate();
    void EnsureWindow();

    std::deque<AgentRequest> queue_;
    bool busy_ = false;
    AgentRequest current_{AgentRequest::Show, {}, 0, 0};
    qint64 startedMs_ = 0;
    double durationMs_ = 0;
    QPoint moveFrom_;
    QPointer<AgentWindow> window_;
    QPointer<QTimer> timer_;
};

// Shared with the component (agent_control.cpp).
double AgentTimeScale();
void SpeakWithAgentVoice(const QString& text);
void NoteAgentRequest(const QString& request);
// The text as the English voice should read it: "23 °C" becomes
// "23 degrees Celsius" (the engines read "°C" as a letter).
QString SpokenEnglish(const QString& text);
