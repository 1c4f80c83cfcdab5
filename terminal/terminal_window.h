// Wirelet's main window: the current settings, the modem lines, the last
// received byte with its lamp, and the send field. The port itself sits in a
// PortConnection; this class turns its reports into what the user sees.
#pragma once

#include "port_connection.h"
#include "port_settings.h"

#include <QColor>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class DigitField;
class SettingsDialog;

inline constexpr int kMonitorPeriodMs = 50;
inline const QColor kLampIdle{160, 162, 164};
inline const QColor kLampReceived{255, 0, 25};
inline const QColor kPortFailedColour{216, 0, 0};
inline constexpr QPoint kLampCentre{220, 247};
inline constexpr int kLampRadius = 7;

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
    void ReopenPort();
    void UpdateSettingsDisplay();
    void MonitorTick();
    void SendByte();
    void OpenSettingsDialog();

    const PortSettings& settings() const { return settings_; }
    const PortConnection& connection() const { return connection_; }
    SettingsDialog* settingsDialog() const;
    QColor lampColour() const { return lampColour_; }

    QLabel* portValue() const { return values_[0]; }
    QLabel* speedValue() const { return values_[1]; }
    QLabel* dataBitsValue() const { return values_[2]; }
    QLabel* parityValue() const { return values_[3]; }
    QLabel* stopBitsValue() const { return values_[4]; }
    QLabel* flowValue() const { return values_[5]; }
    QPushButton* settingsButton() const { return settingsButton_; }
    QCheckBox* dtrBox() const { return dtrBox_; }
    QCheckBox* rtsBox() const { return rtsBox_; }
    QLineEdit* dsrIndicator() const { return dsr_; }
    QLineEdit* ctsIndicator() const { return cts_; }
    QLineEdit* dcdIndicator() const { return dcd_; }
    QLineEdit* riIndicator() const { return ri_; }
    QLineEdit* receivedField() const { return received_; }
    DigitField* sendField() const { return sendField_; }
    QPushButton* sendButton() const { return sendButton_; }
    QLabel* receiveLabel() const { return receiveLabel_; }
    QLabel* sendLabel() const { return sendLabel_; }

signals:
    // Emitted each time the window sounds the platform beep.
    void beeped();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void CreateSettingsFrame();
    void CreateLinesFrame();
    void CreateExchangeControls();
    QLabel* AddLabel(const char* text, int x, int y, int w, int h);
    QLineEdit* AddIndicator(int x, int y);
    void ShowPortState();
    // True when the sample's byte was shown in the received-byte field.
    bool ShowSample(const MonitorSample& sample);
    void SetLamp(const QColor& colour);
    void OnDialogOk();
    void CloseSettingsDialog();
    void Beep();

    PortSettings settings_;
    std::string settingsPath_;
    PortConnection connection_;
    QPointer<SettingsDialog> dialog_;
    bool startupPass_ = false;
    QTimer monitorTimer_;
    QColor lampColour_ = kLampIdle;
    QFont sectionFont_;

    QLabel* values_[6] = {};
    QPushButton* settingsButton_ = nullptr;
    QCheckBox* dtrBox_ = nullptr;
    QCheckBox* rtsBox_ = nullptr;
    QLineEdit* dsr_ = nullptr;
    QLineEdit* cts_ = nullptr;
    QLineEdit* dcd_ = nullptr;
    QLineEdit* ri_ = nullptr;
    QLabel* receiveLabel_ = nullptr;
    QLineEdit* received_ = nullptr;
    QLabel* sendLabel_ = nullptr;
    DigitField* sendField_ = nullptr;
    QPushButton* sendButton_ = nullptr;
};

// The section font: "Taboha" 10 pt bold; the platform picks a look-alike
// when that face is missing.
QFont SectionFont();
