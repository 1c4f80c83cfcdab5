// "Настройка Порта" on Qt: the window in which the port settings are
// picked. It only shows and reports choices; applying them is the main
// window's job.
#pragma once

#include "digit_field.h"
#include "port_settings.h"
#include "terminal_layout.h"

#include <array>
#include <string>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

class SettingsDialog : public QWidget {
    Q_OBJECT
public:
    // Filled from settings, the port list with portLabels; created hidden.
    SettingsDialog(const PortSettings& settings, const std::array<std::string, 8>& portLabels, QWidget* owner);

    SettingsChoices Choices() const;

    // The Xon/Xoff group is usable only while "Xon / Xoff" is chosen.
    void UpdateXonXoffGroup();

    QComboBox* portList() const { return Control<QComboBox>(DialogPortList); }
    QComboBox* speedList() const { return Control<QComboBox>(DialogSpeedList); }
    QComboBox* dataBitsList() const { return Control<QComboBox>(DialogDataBitsList); }
    QComboBox* parityList() const { return Control<QComboBox>(DialogParityList); }
    QComboBox* stopBitsList() const { return Control<QComboBox>(DialogStopBitsList); }
    QComboBox* flowList() const { return Control<QComboBox>(DialogFlowList); }
    QPushButton* okButton() const { return Control<QPushButton>(DialogOkButton); }
    QPushButton* cancelButton() const { return Control<QPushButton>(DialogCancelButton); }
    DigitField* xonField() const { return Control<DigitField>(DialogXonField); }
    DigitField* xoffField() const { return Control<DigitField>(DialogXoffField); }
    QGroupBox* xonXoffFrame() const { return Control<QGroupBox>(DialogXonXoffFrame); }
    QLabel* xonLabel() const { return Control<QLabel>(DialogXonLabel); }
    QLabel* xoffLabel() const { return Control<QLabel>(DialogXoffLabel); }

signals:
    void okClicked();
    // Отмена or the close box; the choices are to be dropped.
    void dismissed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    template <class T>
    T* Control(DialogControl id) const
    {
        return static_cast<T*>(controls_[id]);
    }
    void CreateControls(const PortSettings& settings, const std::array<std::string, 8>& portLabels);

    QWidget* controls_[DialogControlCount] = {};
};
