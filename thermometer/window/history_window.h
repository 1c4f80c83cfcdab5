// «История»: a plot of the readings of the last 24 hours, time across, °C up,
// the newest reading marked. Made when opened and deleted when closed, so it
// costs nothing while closed.
#pragma once

#include "reading_history.h"

#include <QWidget>

class HistoryWindow : public QWidget {
    Q_OBJECT

public:
    // history must outlive the window (it belongs to the main window).
    HistoryWindow(const ReadingHistory& history, QWidget* parent);

    // Repaints when a reading was added.
    void ReadingAdded() { update(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ReadingHistory& history_;
};
