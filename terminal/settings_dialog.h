// "Настройка Порта": the window in which the port settings are picked.
// It only shows and reports choices; applying them is the main window's job.
#pragma once

#include "port_settings.h"

#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class DigitField;

class SettingsDialog : public QWidget {
    Q_OBJECT
public:
    // Filled from settings; created hidden.
    SettingsDialog(const PortSettings& settings, QWidget* owner);

    SettingsChoices Choices() const;

    // The Xon/Xoff group is usable only while "Xon / Xoff" is chosen.
    void UpdateXonXoffGroup();

    QComboBox* portList() const { return portList_; }
    QComboBox* speedList() const { return speedList_; }
    QComboBox* dataBitsList() const { return dataBitsList_; }
    QComboBox* parityList() const { return parityList_; }
    QComboBox* stopBitsList() const { return stopBitsList_; }
    QComboBox* flowList() const { return flowList_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    DigitField* xonField() const { return xonField_; }
    DigitField* xoffField() const { return xoffField_; }
    QGroupBox* xonXoffFrame() const { return xonXoffFrame_; }
    QLabel* xonLabel() const { return xonLabel_; }
    QLabel* xoffLabel() const { return xoffLabel_; }

signals:
    void okClicked();
    // Отмена or the close box; the choices are to be dropped.
    void dismissed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls(const PortSettings& settings);
    QLabel* AddLabel(const char* text, int x, int y, int w, int h);
    QComboBox* AddList(const std::string_view* items, int count, int chosen, QRect geometry);
    template <std::size_t N>
    QComboBox* AddList(const std::array<std::string_view, N>& items, int chosen, QRect geometry)
    {
        return AddList(items.data(), static_cast<int>(N), chosen, geometry);
    }

    QComboBox* portList_ = nullptr;
    QComboBox* speedList_ = nullptr;
    QComboBox* dataBitsList_ = nullptr;
    QComboBox* parityList_ = nullptr;
    QComboBox* stopBitsList_ = nullptr;
    QComboBox* flowList_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QGroupBox* frame_ = nullptr;
    QGroupBox* xonXoffFrame_ = nullptr;
    QLabel* xonLabel_ = nullptr;
    QLabel* xoffLabel_ = nullptr;
    DigitField* xonField_ = nullptr;
    DigitField* xoffField_ = nullptr;
};
