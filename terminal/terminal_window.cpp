#include "terminal_window.h"

#include "digit_field.h"
#include "message_box.h"
#include "settings_dialog.h"
#include "settings_file.h"
#include "window_frame.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {

constexpr int kSendDigits = 3;

QString Text(const std::string& s) { return QString::fromStdString(s); }

// A push button whose caption wraps to a second line when it does not fit.
class WrappingButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        painter.drawText(rect().adjusted(4, 2, -4, -2), Qt::AlignCenter | Qt::TextWordWrap, caption);
    }
};

}  // namespace

QFont SectionFont()
{
    // Where the face is missing, the nearest look-alike: a Tahoma-like sans.
    QFont::insertSubstitutions(QStringLiteral("Taboha"), {QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans")});
    QFont font(QStringLiteral("Taboha"), 10, QFont::Bold);
    font.setStyleHint(QFont::SansSerif);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

TerminalWindow::TerminalWindow(const SerialPortApi& api, const PortSettings& settings, std::string settingsPath)
    : settings_(settings), settingsPath_(std::move(settingsPath)), connection_(api), sectionFont_(SectionFont())
{
    SetUpFixedWindow(this, 362, 310);
    setWindowTitle(QStringLiteral("Порт"));
    CreateControls();
    CentreOnScreen(this);
    monitorTimer_.setInterval(kMonitorPeriodMs);
    connect(&monitorTimer_, &QTimer::timeout, this, &TerminalWindow::MonitorTick);
    connect(settingsButton_, &QPushButton::clicked, this, [this] {
        if (!dialog_)
            OpenSettingsDialog();
    });
    connect(sendButton_, &QPushButton::clicked, this, &TerminalWindow::SendByte);
    connect(rtsBox_, &QCheckBox::clicked, this, [this](bool on) { connection_.SetRts(on); });
    connect(dtrBox_, &QCheckBox::clicked, this, [this](bool on) { connection_.SetDtr(on); });
}

TerminalWindow::~TerminalWindow() { monitorTimer_.stop(); }

QLabel* TerminalWindow::AddLabel(const char* text, int x, int y, int w, int h)
{
    auto* label = new QLabel(QString::fromUtf8(text), this);
    label->setGeometry(x, y, w, h);
    return label;
}

QLineEdit* TerminalWindow::AddIndicator(int x, int y)
{
    auto* field = new QLineEdit(this);
    field->setReadOnly(true);
    field->setGeometry(x, y, 30, 20);
    return field;
}

// Controls are created in the order of the Tab chain; frames go to the back
// afterwards so that clicks reach the boxes inside them.
void TerminalWindow::CreateControls()
{
    CreateSettingsFrame();
    CreateLinesFrame();
    CreateExchangeControls();
}

void TerminalWindow::CreateSettingsFrame()
{
    AddLabel("Порт:", 25, 25, 35, 15);
    auto* frame = new QGroupBox(QStringLiteral("Текущие настройки"), this);
    frame->setGeometry(15, 5, 330, 145);
    values_[0] = AddLabel("", 155, 25, 80, 15);
    AddLabel("Скорость Б/с:", 25, 45, 75, 15);
    values_[1] = AddLabel("", 155, 45, 80, 15);
    AddLabel("Количесто бит данных:", 25, 65, 120, 15);
    values_[2] = AddLabel("", 155, 65, 80, 15);
    AddLabel("Чётность:", 25, 85, 55, 15);
    values_[3] = AddLabel("", 155, 85, 80, 15);
    AddLabel("Стоповые биты:", 25, 105, 85, 15);
    values_[4] = AddLabel("", 155, 105, 80, 15);
    AddLabel("Управление потоком:", 25, 125, 115, 15);
    values_[5] = AddLabel("", 155, 125, 185, 15);
    settingsButton_ = new WrappingButton(QStringLiteral("Настроить порт"), this);
    settingsButton_->setGeometry(250, 35, 85, 35);
    frame->lower();
}

void TerminalWindow::CreateLinesFrame()
{
    dtrBox_ = new QCheckBox(QStringLiteral("DTR"), this);
    dtrBox_->setGeometry(50, 174, 45, 15);
    auto* frame = new QGroupBox(QStringLiteral("Линии порта"), this);
    frame->setGeometry(15, 155, 330, 75);
    rtsBox_ = new QCheckBox(QStringLiteral("RTS"), this);
    rtsBox_->setGeometry(50, 201, 45, 15);
    dsr_ = AddIndicator(140, 170);
    cts_ = AddIndicator(140, 197);
    AddLabel("DCD", 282, 175, 30, 15);
    AddLabel("CTS", 175, 203, 25, 15);
    dcd_ = AddIndicator(245, 170);
    ri_ = AddIndicator(245, 197);
    AddLabel("DSR", 175, 175, 30, 15);
    AddLabel("RI", 282, 203, 30, 15);
    frame->lower();
}

void TerminalWindow::CreateExchangeControls()
{
    receiveLabel_ = AddLabel("Приём байта", 25, 240, 105, 15);
    receiveLabel_->setFont(sectionFont_);
    received_ = new QLineEdit(this);
    received_->setReadOnly(true);
    received_->setGeometry(155, 238, 40, 20);
    sendLabel_ = AddLabel("Передача байта", 25, 270, 110, 15);
    sendLabel_->setFont(sectionFont_);
    sendField_ = new DigitField(kSendDigits, this);
    sendField_->setGeometry(155, 268, 42, 20);
    sendButton_ = new QPushButton(QStringLiteral("Передать"), this);
    sendButton_->setGeometry(215, 265, 75, 25);
    sendField_->setFocus();
}

void TerminalWindow::Start()
{
    startupPass_ = true;
    OpenSettingsDialog();
    ApplySettings();
    delete dialog_.data();  // never shown, nothing of it on the stack
    startupPass_ = false;
    show();
    SetLamp(kLampIdle);
    monitorTimer_.start();
}

void TerminalWindow::OpenSettingsDialog()
{
    dialog_ = new SettingsDialog(settings_, this);
    connect(dialog_, &SettingsDialog::okClicked, this, &TerminalWindow::OnDialogOk);
    connect(dialog_, &SettingsDialog::dismissed, this, &TerminalWindow::CloseSettingsDialog);
    if (!startupPass_)
        dialog_->show();
}

void TerminalWindow::OnDialogOk()
{
    ApplySettings();
    CloseSettingsDialog();
}

void TerminalWindow::CloseSettingsDialog()
{
    if (!dialog_)
        return;
    dialog_->hide();
    dialog_->deleteLater();
    dialog_ = nullptr;
}

void TerminalWindow::ApplySettings()
{
    if (!dialog_)
        return;  // the choices come from the dialog
    CollectSettings(dialog_->Choices(), settings_);
    if (!startupPass_)
        SaveSettings(settingsPath_, settings_);
    ReopenPort();
    if (connection_.IsOpen() && settings_.flowControlIndex != kFlowHardware) {
        connection_.SetRts(rtsBox_->isChecked());
        connection_.SetDtr(dtrBox_->isChecked());
    }
    for (QLineEdit* indicator : {cts_, dsr_, dcd_, ri_})
        indicator->setText(QStringLiteral("0"));
    UpdateSettingsDisplay();
}

void TerminalWindow::ReopenPort()
{
    connection_.Reopen(settings_);
    ShowPortState();
}

void TerminalWindow::ShowPortState()
{
    const bool open = connection_.IsOpen();
    const QString name = Text(settings_.portName);
    setWindowTitle(open ? QStringLiteral(" Порт ") + name + QStringLiteral(" открыт")
                        : QStringLiteral(" Ошибка! Порт ") + name + QStringLiteral(" недоступен."));
    QPalette palette = values_[0]->palette();
    palette.setColor(QPalette::WindowText, open ? QColor(Qt::black) : kPortFailedColour);
    values_[0]->setPalette(palette);
    for (QWidget* w : {static_cast<QWidget*>(rtsBox_), static_cast<QWidget*>(dtrBox_),
                       static_cast<QWidget*>(sendButton_)})
        w->setEnabled(open);
    if (!open)
        Beep();
}

void TerminalWindow::UpdateSettingsDisplay()
{
    const std::string* texts[] = {&settings_.portName,   &settings_.baudText,        &settings_.parityText,
                                  &settings_.stopBitsText, &settings_.flowControlText, &settings_.dataBitsText};
    QLabel* labels[] = {values_[0], values_[1], values_[3], values_[4], values_[5], values_[2]};
    for (int i = 0; i < 6; ++i)
        labels[i]->setText(Text(*texts[i]));
}

// The lamp is grey on every tick unless this tick showed a byte. Only a change
// of colour or text is handed to the window system: an idle tick draws nothing.
void TerminalWindow::MonitorTick()
{
    const bool shown = connection_.IsOpen() && ShowSample(connection_.Poll(settings_));
    SetLamp(shown ? kLampReceived : kLampIdle);
}

bool TerminalWindow::ShowSample(const MonitorSample& sample)
{
    if (sample.received == ReceivedXon || sample.received == ReceivedXoff)
        received_->clear();
    else if (sample.received == ReceivedByte)
        received_->setText(QString::number(sample.byte));
    const auto show = [](QLineEdit* indicator, int32_t on) {
        const QString text = on ? QStringLiteral("1") : QStringLiteral("0");
        if (indicator->text() != text)
            indicator->setText(text);
    };
    show(cts_, sample.cts);
    show(dsr_, sample.dsr);
    show(dcd_, sample.dcd);
    show(ri_, sample.ri);
    return sample.received == ReceivedByte;
}

void TerminalWindow::SendByte()
{
    const std::string text = sendField_->text().toStdString();
    if (!connection_.SendDecimal(text))
        ShowMessageBox("Ошибка", "Выбраный порт занят или не соществует", MessageBoxError);
}

void TerminalWindow::SetLamp(const QColor& colour)
{
    if (colour == lampColour_)
        return;  // what the window shows is already right
    lampColour_ = colour;
    update(QRect(kLampCentre - QPoint(kLampRadius + 1, kLampRadius + 1), QSize(2 * kLampRadius + 3, 2 * kLampRadius + 3)));
}

void TerminalWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(lampColour_);
    painter.setBrush(lampColour_);
    painter.drawEllipse(kLampCentre, kLampRadius, kLampRadius);
}

void TerminalWindow::Beep()
{
    QApplication::beep();
    emit beeped();
}

void TerminalWindow::closeEvent(QCloseEvent* event)
{
    monitorTimer_.stop();
    // Whatever the open dialog holds is dropped, not applied.
    if (dialog_)
        delete dialog_.data();
    connection_.Close();
    event->accept();
}

SettingsDialog* TerminalWindow::settingsDialog() const { return dialog_.data(); }
