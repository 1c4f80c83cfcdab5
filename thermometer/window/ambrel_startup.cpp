#include "ambrel_startup.h"

#include "ambrel_window.h"
#include "hid_access.h"
#include "message_box.h"

#include <QFont>
#include <QGuiApplication>
#include <QScreen>

namespace {

const char kNoSpeechCaption[] = "Ошибка!";
const char kNoSpeechText[] = "Голосовой движок не доступен!.";

void ReportNoSpeech() { ShowMessageBox(kNoSpeechCaption, kNoSpeechText, MessageBoxWarning); }

void CentreOnScreen(QWidget& window)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect area = screen->availableGeometry();
    QRect frame(QPoint(0, 0), window.size().boundedTo(area.size()));
    frame.moveCenter(area.center());
    window.move(frame.topLeft());
}

}  // namespace

QFont TemperatureFont()
{
    QFont font("Arial");
    font.setPointSize(22);
    font.setBold(true);
    return font;
}

std::unique_ptr<AmbrelWindow> StartAmbrel(const AmbrelServices& services)
{
    HidLoad();
    QFont font = TemperatureFont();
    auto window = std::make_unique<AmbrelWindow>(services, font);
    CentreOnScreen(*window);
    window->CreateStatusControls();
    if (!services.speech.init || services.speech.init() == 0) {
        ReportNoSpeech();
        return nullptr;
    }
    window->FillVoiceList();
    window->CreateSpeechControls();
    window->PresenceCheck();
    window->show();
    window->StartPolling();
    return window;
}
