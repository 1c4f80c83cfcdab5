#include "settings_dialog.h"

#include "digit_field.h"
#include "window_frame.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr int kTypedDigits = 3;

QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

int ChosenPosition(int index, int count) { return index >= 0 && index < count ? index : -1; }

}  // namespace

SettingsDialog::SettingsDialog(const PortSettings& settings, QWidget* owner) : QWidget(owner)
{
    SetUpFixedWindow(this, 305, 300);
    setWindowTitle(QStringLiteral("Настройка Порта"));
    CreateControls(settings);
    connect(flowList_, &QComboBox::currentIndexChanged, this, &SettingsDialog::UpdateXonXoffGroup);
    connect(okButton_, &QPushButton::clicked, this, &SettingsDialog::okClicked);
    connect(cancelButton_, &QPushButton::clicked, this, &QWidget::close);
    CentreOnScreen(this);
}

QLabel* SettingsDialog::AddLabel(const char* text, int x, int y, int w, int h)
{
    auto* label = new QLabel(QString::fromUtf8(text), this);
    label->setGeometry(x, y, w, h);
    return label;
}

QComboBox* SettingsDialog::AddList(const std::string_view* items, int count, int chosen, QRect geometry)
{
    auto* list = new QComboBox(this);
    list->setEditable(false);
    for (int i = 0; i < count; ++i)
        list->addItem(Text(items[i]));
    list->setCurrentIndex(ChosenPosition(chosen, count));
    list->setGeometry(geometry);
    return list;
}

// Created in the order of the Tab chain; the two frames are sent to the back
// so that they do not sit over the controls they surround.
void SettingsDialog::CreateControls(const PortSettings& s)
{
    AddLabel("Порт:", 20, 25, 70, 15);
    portList_ = AddList(kPortList, s.portIndex, {160, 20, 100, 20});
    AddLabel("Скорость  Бит/с:", 20, 55, 110, 15);
    speedList_ = AddList(kSpeedList, s.baudIndex, {160, 50, 100, 20});
    frame_ = new QGroupBox(QStringLiteral("Настрийки порта"), this);
    frame_->setGeometry(10, 5, 280, 250);
    AddLabel("Количество бит данных:", 20, 85, 130, 15);
    dataBitsList_ = AddList(kDataBitsList, s.dataBitsIndex, {160, 80, 100, 20});
    AddLabel("Чётность:", 20, 115, 90, 15);
    AddLabel("Стоповые биты:", 20, 145, 105, 15);
    AddLabel("Управление потоком:", 20, 175, 120, 15);
    parityList_ = AddList(kParityList, s.parityIndex, {160, 110, 100, 15});
    stopBitsList_ = AddList(kStopBitsList, s.stopBitsIndex, {160, 140, 100, 20});
    flowList_ = AddList(kFlowControlList, s.flowControlIndex, {160, 170, 100, 20});
    okButton_ = new QPushButton(QStringLiteral("Ok"), this);
    okButton_->setGeometry(25, 265, 80, 25);
    cancelButton_ = new QPushButton(QStringLiteral("Отмена"), this);
    cancelButton_->setGeometry(175, 265, 80, 25);
    xonXoffFrame_ = new QGroupBox(QStringLiteral("Xon / Xoff"), this);
    xonXoffFrame_->setGeometry(20, 200, 260, 50);
    xonLabel_ = AddLabel("Байт \"Xon\"", 30, 220, 59, 15);
    xonField_ = new DigitField(kTypedDigits, this);
    xonField_->setGeometry(95, 217, 30, 20);
    xonField_->setText(QString::number(s.xonByte));
    xoffLabel_ = AddLabel("Байт \"Xoff\"", 150, 220, 59, 15);
    xoffField_ = new DigitField(kTypedDigits, this);
    xoffField_->setGeometry(215, 217, 30, 20);
    xoffField_->setText(QString::number(s.xoffByte));
    xonXoffFrame_->lower();
    frame_->lower();
    UpdateXonXoffGroup();
}

SettingsChoices SettingsDialog::Choices() const
{
    SettingsChoices c;
    c.portIndex = portList_->currentIndex();
    c.baudIndex = speedList_->currentIndex();
    c.dataBitsIndex = dataBitsList_->currentIndex();
    c.parityIndex = parityList_->currentIndex();
    c.stopBitsIndex = stopBitsList_->currentIndex();
    c.flowControlIndex = flowList_->currentIndex();
    c.xonText = xonField_->text().toStdString();
    c.xoffText = xoffField_->text().toStdString();
    return c;
}

void SettingsDialog::UpdateXonXoffGroup()
{
    const bool on = flowList_->currentIndex() == kFlowXonXoff;
    for (QWidget* w : {static_cast<QWidget*>(xonXoffFrame_), static_cast<QWidget*>(xonLabel_),
                       static_cast<QWidget*>(xonField_), static_cast<QWidget*>(xoffLabel_),
                       static_cast<QWidget*>(xoffField_)})
        w->setEnabled(on);
}

void SettingsDialog::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit dismissed();
}
