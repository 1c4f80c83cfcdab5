#include "ambrel_window.h"

#include "history_window.h"
#include "presence_check.h"
#include "thermometer_reading.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>
#include <QPushButton>
#include <QSlider>

#include <algorithm>

namespace {

constexpr int kPresenceIntervalMs = 400;
const char kNoDevice[] = "Нет связи с термометром";
const char kDeviceOpen[] = "Термометр подключён";
const char kVoiceLabel[] = "Голосовой движок";
const char kVolumeLabel[] = "Громкость";

// The labels keep their places; each is as wide as the room up to its right
// neighbour or the window's edge.
constexpr int kStatusWidth = 162;
constexpr int kVoiceLabelWidth = 106;   // up to the volume label at x = 110
constexpr int kVolumeLabelWidth = 60;   // up to the window's edge at x = 170

// The controls were laid out for an 8-point dialog font; the desktop's usual
// 10 points cut the labels off, and so do 8 points of the wider Linux fonts.
// Takes the largest size up to 8 points at which every label's text fits.
qreal DialogPointSize(QFont font)
{
    const struct { const char* text; int width; } labels[] = {
        {kNoDevice, kStatusWidth}, {kDeviceOpen, kStatusWidth},
        {kVoiceLabel, kVoiceLabelWidth}, {kVolumeLabel, kVolumeLabelWidth},
    };
    constexpr qreal kSmallest = 6;
    for (qreal size = 8; size > kSmallest; size -= 0.5) {
        font.setPointSizeF(size);
        const QFontMetrics metrics(font);
        if (std::ranges::all_of(labels, [&](const auto& l) { return metrics.horizontalAdvance(QString(l.text)) <= l.width; }))
            return size;
    }
    return kSmallest;
}

// The window whose voice list follows the speech output's changes.
AmbrelWindow* g_voiceListWindow = nullptr;

template <typename Control>
Control* Place(Control* control, const char* name, int x, int y, int w, int h)
{
    control->setObjectName(name);
    control->setGeometry(x, y, w, h);
    return control;
}

}  // namespace

AmbrelWindow::AmbrelWindow(const AmbrelServices& services, const QFont& temperatureFont)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      services_(services),
      temperatureFont_(temperatureFont),
      reader_(state_, [this](std::int32_t handle, float t) {
          QMetaObject::invokeMethod(this, [this, handle, t] { ShowReading(handle, t); }, Qt::QueuedConnection);
      }),
      presenceTimer_(this)
{
    setWindowTitle("Ambrel");
    setFixedSize(170, 170);
    QFont dialogFont = font();
    dialogFont.setPointSizeF(DialogPointSize(dialogFont));
    setFont(dialogFont);
    presenceTimer_.setObjectName("PresenceTimer");
    presenceTimer_.setInterval(kPresenceIntervalMs);
    connect(&presenceTimer_, &QTimer::timeout, this, &AmbrelWindow::PresenceCheck);
}

AmbrelWindow::~AmbrelWindow()
{
    if (services_.speech.watchVoices && g_voiceListWindow == this) {
        services_.speech.watchVoices(nullptr);
        g_voiceListWindow = nullptr;
    }
    presenceTimer_.stop();
    // Closing the handle releases a read blocked in it, so the reader can end.
    CloseThermometer(state_);
    reader_.Stop();
}

void AmbrelWindow::CreateStatusControls()
{
    statusLabel_ = Place(new QLabel(kNoDevice, this), "StatusLabel", 4, 4, kStatusWidth, 16);
    statusLabel_->setAlignment(Qt::AlignCenter);
    temperatureBox_ = Place(new QLineEdit("OFF", this), "TemperatureBox", 16, 24, 140, 40);
    temperatureBox_->setReadOnly(true);
    temperatureBox_->setAlignment(Qt::AlignCenter);
    temperatureBox_->setFocusPolicy(Qt::NoFocus);
    temperatureBox_->setFont(temperatureFont_);
    QPalette palette = temperatureBox_->palette();
    palette.setColor(QPalette::Text, QColor(0, 0, 223));
    temperatureBox_->setPalette(palette);
    Place(new QLabel(kVoiceLabel, this), "VoiceLabel", 4, 70, kVoiceLabelWidth, 16);
    voiceList_ = Place(new QComboBox(this), "VoiceList", 4, 88, 110, 22);
    voiceList_->setEditable(false);
    // Only the user's own choice; a refill selecting an item is not one.
    connect(voiceList_, &QComboBox::activated, this, [this] { voiceChosen_ = true; });
}

void AmbrelWindow::RefillVoiceList()
{
    const QString selected = voiceList_->currentText();
    voiceList_->clear();
    FillVoiceList();
    // A voice the user chose stays; otherwise the start-up rule picks again.
    const int kept = voiceList_->findText(selected, Qt::MatchExactly);
    if (voiceChosen_ && !selected.isEmpty() && kept >= 0)
        voiceList_->setCurrentIndex(kept);
}

void AmbrelWindow::FillVoiceList()
{
    // The speech output calls back, without an argument, when its list grows.
    if (services_.speech.watchVoices && !g_voiceListWindow) {
        g_voiceListWindow = this;
        services_.speech.watchVoices([] {
            if (g_voiceListWindow)
                g_voiceListWindow->RefillVoiceList();
        });
    }
    std::int32_t last = services_.speech.lastVoiceIndex ? services_.speech.lastVoiceIndex() : -1;
    for (std::int32_t i = 0; i <= last; ++i)
        voiceList_->addItem(QString::fromStdString(services_.speech.voiceName(i)));
    voiceList_->setCurrentIndex(0);
    int svetlana = voiceList_->findText("Svetlana", Qt::MatchFixedString);  // case-blind exact match
    if (svetlana >= 0)
        voiceList_->setCurrentIndex(svetlana);
}

void AmbrelWindow::CreateSpeechControls()
{
    Place(new QLabel(kVolumeLabel, this), "VolumeLabel", 110, 70, kVolumeLabelWidth, 16);
    volumeSlider_ = Place(new QSlider(Qt::Vertical, this), "VolumeSlider", 140, 90, 24, 80);
    volumeSlider_->setRange(0, 100);
    volumeSlider_->setValue(80);
    wizardCheck_ = Place(new QCheckBox("Волшебник", this), "WizardCheck", 4, 114, 110, 16);
    sayButton_ = Place(new QPushButton("Сказать", this), "SayButton", 16, 134, 100, 28);
    connect(sayButton_, &QPushButton::clicked, this, &AmbrelWindow::Say);
}

void AmbrelWindow::StartPolling()
{
    presenceTimer_.start();
    reader_.Start();
}

void AmbrelWindow::PresenceCheck()
{
    ++presenceChecks_;
    switch (CheckPresence(state_)) {
    case PresenceChange::Appeared:
        statusLabel_->setText(kDeviceOpen);
        break;
    case PresenceChange::Gone:
        ShowDeviceGone();
        break;
    case PresenceChange::None:
        break;
    }
}

void AmbrelWindow::ShowDeviceGone()
{
    statusLabel_->setText(kNoDevice);
    temperatureBox_->setText("OFF");
}

void AmbrelWindow::ShowReading(std::int32_t handle, float t)
{
    // Queued from the reader: drop a reading from a device closed since.
    if (!ReadingIsCurrent(state_, handle))
        return;
    temperatureBox_->setText(QString::fromStdString(FormatTemperature(t)));
    history_.Add(ReadingHistory::Clock::now(), t);
    if (historyWindow_)
        historyWindow_->ReadingAdded();
}

void AmbrelWindow::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    connect(menu.addAction("История"), &QAction::triggered, this, &AmbrelWindow::OpenHistory);
    menu.exec(event->globalPos());
}

void AmbrelWindow::OpenHistory()
{
    if (!historyWindow_)
        historyWindow_ = new HistoryWindow(history_, this);
    historyWindow_->show();
    historyWindow_->raise();
}

void AmbrelWindow::Say()
{
    if (wizardCheck_->isChecked()) {
        if (!services_.startAgent)
            return;
        // Before the sequence's thread exists, so no second press gets in.
        SetSpeechControlsEnabled(false);
        services_.startAgent(&state_.TemperatureWhole, this,
                             [this](bool enabled) { SetSpeechControlsEnabled(enabled); });
        return;
    }
    const SpeechApi& speech = services_.speech;
    speech.selectVoice(voiceList_->currentIndex());
    speech.setVolume(volumeSlider_->value());
    speech.say(SpokenTemperatureText(state_.TemperatureWhole.load()).c_str());
}

void AmbrelWindow::SetSpeechControlsEnabled(bool enabled)
{
    voiceList_->setEnabled(enabled);
    volumeSlider_->setEnabled(enabled);
    wizardCheck_->setEnabled(enabled);
    sayButton_->setEnabled(enabled);
}
