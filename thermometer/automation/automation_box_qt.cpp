// The layer's error box on the window system's thread. A failing call on
// any thread waits here until OK is pressed, as the box is modal to it.
#include "automation_internal.h"
#include "gui_thread.h"
#include "message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>


namespace {

std::string BoxText(const char16_t* text)
{
    // Qt breaks lines at "\n" alone; tabs stay for the column layout.
    std::string s = Utf16ToUtf8(text ? text : u"");
    for (std::size_t at; (at = s.find("\r\n")) != std::string::npos;)
        s.erase(at, 1);
    return s;
}

void ShowOnThisThread(QWidget* owner, const std::string& caption, const std::string& text)
{
    if (MessageBoxesGoToTerminal()) {
        ShowMessageBox(caption, text, MessageBoxError);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, owner);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.show();
    box.raise();
    box.activateWindow();
    box.exec();
}

}  // namespace

void ShowAutomationBoxOnGuiThread(void* owner, const char16_t* caption, const char16_t* text)
{
    const std::string captionText = Utf16ToUtf8(caption ? caption : u"");
    const std::string bodyText = BoxText(text);
    auto* parent = static_cast<QWidget*>(owner);
    QCoreApplication* app = QCoreApplication::instance();
    if (!qobject_cast<QApplication*>(app)) {
        // No window system to show it on (a console program or a test).
        PrintMessageBox(captionText, bodyText);
        return;
    }
    RunOnGuiThread([&] { ShowOnThisThread(parent, captionText, bodyText); });
}
