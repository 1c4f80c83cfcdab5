#include "agent_stage.h"

#include "agent_window.h"
#include "gui_thread.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cmath>
#include <numbers>

namespace {

constexpr int kFrameMs = 30;

qint64 NowMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return clock.elapsed();
}

bool IsLooping(const AgentRequest& r)
{
    return r.kind == AgentRequest::Play && r.text.compare("Reading", Qt::CaseInsensitive) == 0;
}

bool IsHiding(const AgentRequest& r)
{
    return r.kind == AgentRequest::Hide ||
           (r.kind == AgentRequest::Play && r.text.compare("Hide", Qt::CaseInsensitive) == 0);
}

bool IsShowing(const AgentRequest& r)
{
    return r.kind == AgentRequest::Show ||
           (r.kind == AgentRequest::Play && r.text.compare("Show", Qt::CaseInsensitive) == 0);
}

double LengthMs(const AgentRequest& r)
{
    switch (r.kind) {
    case AgentRequest::MoveTo: return 600;
    case AgentRequest::Speak: return std::max(1500.0, 75.0 * r.text.size());
    case AgentRequest::Play:
        if (r.text.compare("Greet", Qt::CaseInsensitive) == 0)
            return 1800;
        return IsLooping(r) ? 3000 : 900;
    default: return 900;
    }
}

QString Describe(const AgentRequest& r)
{
    switch (r.kind) {
    case AgentRequest::Show: return "Show";
    case AgentRequest::Hide: return "Hide";
    case AgentRequest::MoveTo: return QString("MoveTo %1 %2").arg(r.x).arg(r.y);
    case AgentRequest::Play: return "Play " + r.text;
    case AgentRequest::Speak: return "Speak " + r.text;
    case AgentRequest::Stop: return "Stop";
    }
    return {};
}

}  // namespace

void StopDefaultVoice();  // agent_voice*.cpp

AgentStage::~AgentStage()
{
    if (window_)
        window_->deleteLater();  // safe from any thread
}

bool AgentStage::KnownAnimation(const QString& name)
{
    for (const char* known : {"Greet", "Reading", "Hide", "Show", "Idle"})
        if (name.compare(known, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void AgentStage::Post(const AgentRequest& request)
{
    PostToGuiThread(nullptr, [self = shared_from_this(), request] { self->Take(request); });
}

void AgentStage::Take(const AgentRequest& request)
{
    EnsureWindow();
    if (request.kind == AgentRequest::Stop) {
        NoteAgentRequest(Describe(request));
        queue_.clear();
        StopDefaultVoice();
        if (busy_)
            Finish();
        Animate();
        return;
    }
    queue_.push_back(request);
    Pump();
}

void AgentStage::EnsureWindow()
{
    if (window_)
        return;
    window_ = new AgentWindow();
    timer_ = new QTimer(window_);
    QObject::connect(timer_, &QTimer::timeout, window_, [weak = weak_from_this()] {
        if (const auto self = weak.lock())
            self->Pump();
    });
}

bool AgentStage::CurrentFinished() const
{
    if (IsLooping(current_))
        return !queue_.empty();  // loops until something else is asked for
    return NowMs() - startedMs_ >= durationMs_;
}

void AgentStage::Pump()
{
    while (!busy_ || CurrentFinished()) {
        if (busy_)
            Finish();
        if (queue_.empty())
            break;
        const AgentRequest next = queue_.front();
        queue_.pop_front();
        Begin(next);
    }
    if (busy_ && !timer_->isActive())
        timer_->start(kFrameMs);
    else if (!busy_)
        timer_->stop();
    Animate();
}

void AgentStage::Begin(const AgentRequest& request)
{
    NoteAgentRequest(Describe(request));
    current_ = request;
    busy_ = true;
    startedMs_ = NowMs();
    durationMs_ = LengthMs(request) * AgentTimeScale();
    moveFrom_ = window_->FigurePosition();
    if (IsShowing(request))
        window_->show();
    if (request.kind == AgentRequest::Speak)
        SpeakWithAgentVoice(request.text);
}

void AgentStage::Finish()
{
    busy_ = false;
    AgentPose pose = window_->Pose();
    pose.wave = pose.bow = pose.mouth = pose.page = 0;
    pose.book = false;
    pose.balloon.clear();
    if (IsShowing(current_))
        pose.presence = 1;
    if (IsHiding(current_)) {
        pose.presence = 0;
        window_->hide();
    }
    if (current_.kind == AgentRequest::MoveTo)
        window_->MoveFigureTo(QPoint(current_.x, current_.y));
    window_->SetPose(pose);
}

void AgentStage::Animate()
{
    if (!busy_)
        return;
    const double elapsed = static_cast<double>(NowMs() - startedMs_);
    const double t = durationMs_ > 0 ? std::min(1.0, elapsed / durationMs_) : 1.0;
    AgentPose pose = window_->Pose();
    pose.bob = std::sin(elapsed / 400.0);
    if (IsShowing(current_))
        pose.presence = t;
    else if (IsHiding(current_))
        pose.presence = 1 - t;
    if (current_.kind == AgentRequest::MoveTo) {
        const QPoint to(current_.x, current_.y);
        window_->MoveFigureTo(moveFrom_ + (to - moveFrom_) * t);
    }
    if (current_.kind == AgentRequest::Play && current_.text.compare("Greet", Qt::CaseInsensitive) == 0) {
        pose.wave = std::sin(std::numbers::pi * t) * (0.75 + 0.25 * std::sin(elapsed / 70.0));
        pose.bow = 0.4 * std::sin(std::numbers::pi * t);
    }
    pose.book = IsLooping(current_);
    pose.page = pose.book ? std::fmod(elapsed / 1500.0, 1.0) : 0;
    pose.balloon = current_.kind == AgentRequest::Speak ? current_.text : QString();
    pose.mouth = current_.kind == AgentRequest::Speak ? std::fabs(std::sin(elapsed / 90.0)) : 0;
    window_->SetPose(pose);
}
