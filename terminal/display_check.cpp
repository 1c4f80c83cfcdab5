#include "display_check.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QtGlobal>

namespace {

bool g_headlessAskedFor = false;

QByteArray FirstPlatform(const QByteArray& list) { return list.split(';').value(0).trimmed(); }

}  // namespace

bool PreferDisplayPlatforms()
{
    QByteArray platforms = qgetenv("QT_QPA_PLATFORM");
    const QByteArray first = FirstPlatform(platforms);
    g_headlessAskedFor = first == "offscreen" || first == "minimal";
    if (g_headlessAskedFor)
        return true;
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (platforms.isEmpty() && !wayland && qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    if (platforms.isEmpty())
        platforms = wayland ? "wayland;xcb" : "xcb";
    qputenv("QT_QPA_PLATFORM", platforms + ";offscreen");
    return true;
}

bool DisplayOpened()
{
    return g_headlessAskedFor || QGuiApplication::platformName() != QLatin1String("offscreen");
}
