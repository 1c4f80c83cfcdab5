#include "window_frame.h"

#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void SetUpFixedWindow(QWidget* window, int clientWidth, int clientHeight)
{
    // The control sizes were made for the 8-point Windows dialog font; an
    // Arial-metric face of the same pixel size keeps every text inside them.
    QFont dialogFont(QStringLiteral("Arial"));
    dialogFont.setPixelSize(11);
    dialogFont.setStyleHint(QFont::SansSerif);
    window->setFont(dialogFont);
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    window->setFixedSize(clientWidth, clientHeight);
}

void CentreOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
}
