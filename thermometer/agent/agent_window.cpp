#include "agent_window.h"

#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace {

const QColor kSkin(43, 179, 163);
const QColor kSkinDark(24, 120, 110);
const QColor kVest(112, 64, 160);
const QColor kGold(236, 184, 48);
const QColor kSmoke(150, 220, 230, 200);

void PaintSwirl(QPainter& p)
{
    QPainterPath swirl(QPointF(120, 212));
    swirl.cubicTo(90, 206, 96, 186, 120, 184);
    swirl.cubicTo(150, 182, 152, 164, 120, 158);
    p.setPen(QPen(kSmoke, 14, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(swirl);
}

void PaintArm(QPainter& p, QPointF shoulder, double degrees, bool mirrored)
{
    p.save();
    p.translate(shoulder);
    p.rotate(mirrored ? -degrees : degrees);
    p.setPen(QPen(kSkinDark, 2));
    p.setBrush(kSkin);
    p.drawRoundedRect(QRectF(-6, 0, 12, 38), 6, 6);
    p.drawEllipse(QPointF(0, 40), 7, 7);
    p.restore();
}

void PaintBody(QPainter& p)
{
    p.setPen(QPen(kSkinDark, 2));
    p.setBrush(kSkin);
    p.drawEllipse(QRectF(88, 98, 64, 66));
    p.setBrush(kVest);
    QPainterPath vest;
    vest.moveTo(92, 112);
    vest.lineTo(112, 160);
    vest.lineTo(92, 150);
    vest.closeSubpath();
    vest.moveTo(148, 112);
    vest.lineTo(128, 160);
    vest.lineTo(148, 150);
    vest.closeSubpath();
    p.drawPath(vest);
}

void PaintFace(QPainter& p, const AgentPose& pose)
{
    p.setPen(QPen(kSkinDark, 2));
    p.setBrush(kSkin);
    p.drawEllipse(QPointF(120, 72), 30, 30);
    const double look = pose.book ? 4 : 0;
    for (double x : {108.0, 132.0}) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(x, 66), 7, 8);
        p.setBrush(QColor(30, 30, 60));
        p.drawEllipse(QPointF(x, 67 + look), 3.5, 3.5);
    }
    p.setPen(QPen(QColor(60, 20, 40), 2));
    if (pose.mouth > 0.05) {
        p.setBrush(QColor(120, 30, 50));
        p.drawEllipse(QPointF(120, 86), 7, 2 + 5 * pose.mouth);
    } else {
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(110, 78, 20, 12), 200 * 16, 140 * 16);
    }
}

void PaintCap(QPainter& p)
{
    p.setPen(QPen(kGold.darker(140), 2));
    p.setBrush(kGold);
    QPainterPath cap;
    cap.moveTo(100, 50);
    cap.lineTo(104, 30);
    cap.lineTo(136, 30);
    cap.lineTo(140, 50);
    cap.closeSubpath();
    p.drawPath(cap);
    p.setBrush(kVest);
    p.drawEllipse(QPointF(120, 26), 5, 5);
}

void PaintBook(QPainter& p, double page)
{
    p.setPen(QPen(QColor(90, 50, 20), 2));
    p.setBrush(QColor(150, 90, 40));
    p.drawRect(QRectF(92, 118, 56, 36));
    p.setBrush(QColor(250, 246, 230));
    p.drawRect(QRectF(95, 120, 24, 32));
    p.drawRect(QRectF(121, 120, 24, 32));
    const double w = 24 * std::cos(page * std::numbers::pi);
    p.drawRect(QRectF(w >= 0 ? 121 : 121 + w, 120, std::fabs(w), 32));
}

}  // namespace

void PaintAgentFigure(QPainter& p, const AgentPose& pose)
{
    if (pose.presence <= 0)
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // It grows out of the tip of its swirl.
    p.translate(120, 212);
    p.scale(pose.presence, pose.presence);
    p.translate(-120, -212 + 4 * pose.bob);
    PaintSwirl(p);
    p.save();
    p.translate(120, 160);
    p.rotate(pose.bow * 20);
    p.translate(-120, -160);
    PaintBody(p);
    PaintArm(p, QPointF(92, 112), pose.book ? -50 : 20, false);
    PaintArm(p, QPointF(148, 112), pose.book ? -50 : 20 + 150 * pose.wave, true);
    if (pose.book)
        PaintBook(p, pose.page);
    PaintFace(p, pose);
    PaintCap(p);
    p.restore();
    p.restore();
}

void PaintSpeechBalloon(QPainter& p, const QRect& area, const QString& text)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(area).adjusted(4, 4, -4, -18);
    QPainterPath balloon;
    balloon.addRoundedRect(box, 12, 12);
    QPainterPath pointer;
    pointer.moveTo(box.center().x() - 8, box.bottom() - 1);
    pointer.lineTo(box.center().x(), area.bottom() - 2);
    pointer.lineTo(box.center().x() + 10, box.bottom() - 1);
    pointer.closeSubpath();
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(QColor(255, 255, 225));
    p.drawPath(balloon.united(pointer));
    QFont font("Liberation Sans");
    font.setPixelSize(14);
    p.setFont(font);
    p.drawText(box.adjusted(10, 6, -10, -6), Qt::AlignCenter | Qt::TextWordWrap, text);
    p.restore();
}

AgentWindow::AgentWindow()
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool)
{
    setObjectName("AgentCharacter");
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(kFigureWidth, kBalloonHeight + kFigureHeight);
    UpdateShape();
}

void AgentWindow::SetPose(const AgentPose& pose)
{
    pose_ = pose;
    UpdateShape();
    update();
}

// Without a compositing manager the transparent parts of the window would show
// black: the window takes the shape of what is drawn, renewed with each pose.
// Edges fainter than half cover are left out of the shape.
void AgentWindow::UpdateShape()
{
    QImage frame(size(), QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::transparent);
    QPainter painter(&frame);
    Paint(painter);
    painter.end();
    QRegion shape(QBitmap::fromImage(frame.createAlphaMask()));
    // An empty mask would mean no mask at all (the whole box): a pixel
    // outside the window stands for nothing drawn.
    if (shape.isEmpty())
        shape = QRegion(-1, -1, 1, 1);
    setMask(shape);
}

void AgentWindow::Paint(QPainter& p) const
{
    if (!pose_.balloon.isEmpty())
        PaintSpeechBalloon(p, QRect(0, 0, kFigureWidth, kBalloonHeight), pose_.balloon);
    p.translate(0, kBalloonHeight);
    PaintAgentFigure(p, pose_);
}

void AgentWindow::MoveFigureTo(QPoint topLeft) { move(topLeft.x(), topLeft.y() - kBalloonHeight); }

QPoint AgentWindow::FigurePosition() const { return pos() + QPoint(0, kBalloonHeight); }

void AgentWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    Paint(p);
}
