// Wirelet's main window on Qt: the current settings, the modem lines, the
// last received byte with its lamp, and the send field. What the terminal
// does lives in terminal_logic; this class shows what it reports.
#pragma once

#include "digit_field.h"
#include "line_watcher.h"
#include "terminal_layout.h"
#include "terminal_logic.h"

#include <QCheckBox>
#include <QColor>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <string>

class SettingsDialog;

inline constexpr QPoint kLampCentre{kLampCentreX, kLampCentreY};
inline QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

class TerminalWindow : public QWidget {
    Q_OBJECT
public:
    // settings holds the values loaded from settingsPath. Created hidden.
    TerminalWindow(const SerialPortApi& api, const PortSettings& settings, std::string settingsPath);
    ~TerminalWindow() override;

    // The hidden apply of the stored settings, then shows the window and
    // starts the monitor.
    void Start();

    void ApplySettings();
    // One monitor tick. While the port can report arrivals and line changes
    // the ticks run only as long as there is something to show.
    void MonitorTick();
    void SendByte();
    void OpenSettingsDialog();

    const PortSettings& settings() const { return state_.settings; }
    const PortConnection& connection() const { return state_.connection; }
    SettingsDialog* settingsDialog() const;
    QColor lampColour() const { return lampColour_; }
    bool monitorTicking() const { return monitorTimer_.isActive(); }

    QLabel* portValue() const { return Control<QLabel>(MainPortValue); }
    QLabel* speedValue() const { return Control<QLabel>(MainSpeedValue); }
    QLabel* dataBitsValue() const { return Control<QLabel>(MainDataBitsValue); }
    QLabel* parityValue() const { return Control<QLabel>(MainParityValue); }
    QLabel* stopBitsValue() const { return Control<QLabel>(MainStopBitsValue); }
    QLabel* flowValue() const { return Control<QLabel>(MainFlowValue); }
    QPushButton* settingsButton() const { return Control<QPushButton>(MainSettingsButton); }
    QCheckBox* dtrBox() const { return Control<QCheckBox>(MainDtrBox); }
    QCheckBox* rtsBox() const { return Control<QCheckBox>(MainRtsBox); }
    QLineEdit* dsrIndicator() const { return Control<QLineEdit>(MainDsrIndicator); }
    QLineEdit* ctsIndicator() const { return Control<QLineEdit>(MainCtsIndicator); }
    QLineEdit* dcdIndicator() const { return Control<QLineEdit>(MainDcdIndicator); }
    QLineEdit* riIndicator() const { return Control<QLineEdit>(MainRiIndicator); }
    QLineEdit* receivedField() const { return Control<QLineEdit>(MainReceivedField); }
    DigitField* sendField() const { return Control<DigitField>(MainSendField); }
    QPushButton* sendButton() const { return Control<QPushButton>(MainSendButton); }
    QLabel* receiveLabel() const { return Control<QLabel>(MainReceiveLabel); }
    QLabel* sendLabel() const { return Control<QLabel>(MainSendLabel); }

signals:
    // Emitted each time the window sounds the platform beep.
    void beeped();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    template <class T>
    T* Control(MainControl id) const
    {
        return static_cast<T*>(controls_[id]);
    }
    void CreateControls();
    void ShowPortStatus();
    void ShowTick(const TickView& view);
    void StartMonitor();
    void StopWatching();
    void OnLineEvent(int generation, int32_t event);
    void Wake();
    void SetLamp(Rgb colour);
    void OnDialogOk();
    void CloseSettingsDialog();
    void Beep();

    TerminalState state_;
    QPointer<SettingsDialog> dialog_;
    QTimer monitorTimer_;
    // With a port that reports arrivals and line changes the monitor sleeps
    // between events; otherwise monitorTimer_ ticks all the time.
    bool eventDriven_ = false;
    std::unique_ptr<QSocketNotifier> inputNotifier_;
    // Reports one line change and waits for the tick to take it, so a line
    // that toggles fast costs at most one tick per period.
    LineWatcher lineWatcher_;
    int watchGeneration_ = 0;  // drops what an earlier watcher still had queued
    QTimer safetyTimer_;
    QElapsedTimer sinceTick_;
    QColor lampColour_ = ToQColor(kLampIdle);
    QFont sectionFont_;
    QWidget* controls_[MainControlCount] = {};
};

// The section font: "Taboha" 10 pt bold; the platform picks a look-alike
// when that face is missing.
QFont SectionFont();
