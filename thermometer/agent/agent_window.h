// The character's window: frameless, always on top, never taking the focus,
// shaped to the figure and its balloon (translucent too where a compositor
// runs). It only draws the pose it is given.
#pragma once

#include <QString>
#include <QWidget>

// One frame of the character. The figure is a small turquoise lamp spirit
// with a golden cap, rising out of a swirl of smoke.
struct AgentPose {
    double presence = 0;  // 0 gone .. 1 fully out of its swirl
    double wave = 0;      // right arm: 0 down .. 1 raised high
    double bow = 0;       // 0 upright .. 1 bowed
    bool book = false;    // holds an open book and looks into it
    double page = 0;      // 0..1 page turning
    double mouth = 0;     // 0 closed .. 1 open
    double bob = 0;       // -1..1 floating up and down
    QString balloon;      // speech balloon text; empty: no balloon
};

class AgentWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBalloonHeight = 96;
    static constexpr int kFigureWidth = 240;
    static constexpr int kFigureHeight = 220;

    AgentWindow();
    void SetPose(const AgentPose& pose);
    const AgentPose& Pose() const { return pose_; }
    // Where the figure's frame (below the balloon) has its top-left corner.
    void MoveFigureTo(QPoint topLeft);
    QPoint FigurePosition() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void UpdateShape();
    void Paint(QPainter& painter) const;

    AgentPose pose_;
};

// Draws the figure into a kFigureWidth x kFigureHeight frame at the origin.
void PaintAgentFigure(QPainter& painter, const AgentPose& pose);
void PaintSpeechBalloon(QPainter& painter, const QRect& area, const QString& text);
