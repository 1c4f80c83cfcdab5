// Ambrel's main window: the thermometer's state and reading, the voice, the
// volume, the agent switch and the button that speaks the temperature.
// Controls carry their names as object names (StatusLabel, TemperatureBox,
// VoiceLabel, VoiceList, VolumeLabel, VolumeSlider, WizardCheck, SayButton).
#pragma once

#include "ambrel_services.h"
#include "reading_history.h"
#include "thermometer_reader.h"
#include "thermometer_state.h"

#include <QFont>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class HistoryWindow;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

class AmbrelWindow : public QWidget {
    Q_OBJECT

public:
    AmbrelWindow(const AmbrelServices& services, const QFont& temperatureFont);
    ~AmbrelWindow() override;

    // Start-up steps, called in this order by StartAmbrel.
    void CreateStatusControls();
    void FillVoiceList();
    // Reads the voice list afresh. A voice the user chose stays selected;
    // otherwise item 0, then "Svetlana", as at start-up.
    void RefillVoiceList();
    void CreateSpeechControls();
    void StartPolling();

    // Looks for the thermometer; opens it when it appears, closes it when it
    // goes. Runs on the main thread every 400 ms.
    void PresenceCheck();

    ThermometerState& State() { return state_; }
    int PresenceChecksDone() const { return presenceChecks_; }
    const ReadingHistory& History() const { return history_; }
    // «История» from the window's context menu.
    void OpenHistory();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void ShowReading(std::int32_t handle, float t);
    void Say();
    void SetSpeechControlsEnabled(bool enabled);
    void ShowDeviceGone();

    AmbrelServices services_;
    QFont temperatureFont_;
    ThermometerState state_;
    ThermometerReader reader_;
    QTimer presenceTimer_;
    int presenceChecks_ = 0;
    bool voiceChosen_ = false;
    ReadingHistory history_;
    QPointer<HistoryWindow> historyWindow_;

    QLabel* statusLabel_ = nullptr;
    QLineEdit* temperatureBox_ = nullptr;
    QComboBox* voiceList_ = nullptr;
    QSlider* volumeSlider_ = nullptr;
    QCheckBox* wizardCheck_ = nullptr;
    QPushButton* sayButton_ = nullptr;
};
