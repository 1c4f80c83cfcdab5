#include "history_window.h"

#include "thermometer_reading.h"

#include <QDateTime>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

HistoryWindow::HistoryWindow(const ReadingHistory& history, QWidget* parent)
    : QWidget(parent, Qt::Window), history_(history)
{
    setObjectName("HistoryWindow");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("История");
    resize(560, 300);
}

void HistoryWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const auto now = ReadingHistory::Clock::now();
    const auto samples = history_.Recent(now);
    const QRectF plot = QRectF(rect()).adjusted(50, 12, -14, -30);
    painter.setPen(palette().text().color());
    painter.drawRect(plot);
    if (samples.empty()) {
        painter.drawText(plot, Qt::AlignCenter, "Показаний пока нет");
        return;
    }
    auto [low, high] = std::minmax_element(samples.begin(), samples.end(),
                                           [](const auto& a, const auto& b) { return a.celsius < b.celsius; });
    // Whole degrees around the readings, at least two apart.
    double bottom = std::floor(low->celsius) - 1, top = std::ceil(high->celsius) + 1;
    const auto start = now - ReadingHistory::kSpan;
    const double span = std::chrono::duration<double>(ReadingHistory::kSpan).count();
    auto x = [&](ReadingHistory::Clock::time_point t) {
        return plot.left() + plot.width() * std::chrono::duration<double>(t - start).count() / span;
    };
    auto y = [&](double c) { return plot.bottom() - plot.height() * (c - bottom) / (top - bottom); };

    // °C axis: the bottom, middle and top values.
    for (double c : {bottom, (bottom + top) / 2, top})
        painter.drawText(QRectF(0, y(c) - 8, plot.left() - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QString::fromStdString(FormatTemperature(static_cast<float>(c))));
    // Time axis: every six hours, local time.
    for (int h = 0; h <= 24; h += 6) {
        const auto t = start + std::chrono::hours(h);
        const QString label = QDateTime::fromSecsSinceEpoch(std::chrono::system_clock::to_time_t(t)).toString("HH:mm");
        painter.drawText(QRectF(x(t) - 30, plot.bottom() + 4, 60, 20), Qt::AlignHCenter | Qt::AlignTop, label);
    }

    // A reading holds until the next one: the thermometer reports only changes.
    QPainterPath path(QPointF(x(samples.front().when), y(samples.front().celsius)));
    for (std::size_t i = 1; i < samples.size(); ++i) {
        path.lineTo(x(samples[i].when), y(samples[i - 1].celsius));
        path.lineTo(x(samples[i].when), y(samples[i].celsius));
    }
    path.lineTo(plot.right(), y(samples.back().celsius));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::blue, 1.5));
    painter.drawPath(path);
    const QPointF current(plot.right(), y(samples.back().celsius));
    painter.setBrush(Qt::red);
    painter.setPen(Qt::red);
    painter.drawEllipse(current, 4, 4);
    painter.drawText(QRectF(current.x() - 110, current.y() - 22, 104, 16), Qt::AlignRight,
                     QString::fromStdString(FormatTemperature(samples.back().celsius)));
}
