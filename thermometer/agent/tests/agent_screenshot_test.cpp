// A picture of the character greeting, taken on Xvfb (no compositing manager)
// and kept in the build directory (agent-greeting.png).
#include <QColor>
#include <QFile>
#include <QImage>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

int PixelsNear(const QImage& image, QColor color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - color.red()) < 14 && std::abs(c.green() - color.green()) < 14 &&
                std::abs(c.blue() - color.blue()) < 14)
                ++count;
        }
    return count;
}

TEST(AgentScreenshot, CharacterGreetsOnXvfb)
{
    if (QStandardPaths::findExecutable("xvfb-run").isEmpty())
        GTEST_SKIP() << "xvfb-run is not installed";
    const std::string png = AGENT_SCREENSHOT_PNG;
    QFile::remove(QString::fromStdString(png));
    // Under LeakSanitizer the X11 platform's D-Bus allocations are let be.
    const std::string command = std::string("env QT_QPA_PLATFORM=xcb LSAN_OPTIONS=suppressions=") +
                                AGENT_SCREENSHOT_LEAKS + " xvfb-run -a -s '-screen 0 1024x768x24' '" +
                                AGENT_SCREENSHOT_TOOL + "' '" + png + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    QImage image(QString::fromStdString(png));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 240);
    // The turquoise figure, its golden cap and its purple vest are there.
    EXPECT_GT(PixelsNear(image, QColor(43, 179, 163)), 2000);
    EXPECT_GT(PixelsNear(image, QColor(236, 184, 48)), 200);
    EXPECT_GT(PixelsNear(image, QColor(112, 64, 160)), 100);
    // Around the figure the window beneath shows through: the balloon's band
    // (no balloon while greeting) and the strip left of the figure.
    const QImage band = image.copy(0, 0, 240, 96);
    const QImage left = image.copy(0, 96, 60, image.height() - 96);
    EXPECT_EQ(PixelsNear(band, QColor(255, 0, 255)), band.width() * band.height());
    EXPECT_EQ(PixelsNear(left, QColor(255, 0, 255)), left.width() * left.height());
}

}  // namespace
