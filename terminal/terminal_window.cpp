#include "terminal_window.h"

#include "digit_field.h"
#include "message_box.h"
#include "settings_dialog.h"
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

// A UART driver counts RI only when it goes off, so RI coming on ends no
// line wait: while the monitor sleeps, one tick a second shows it anyway.
constexpr int kSafetyTickMs = 1000;

QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

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
    QFont font(Text(kSectionFontFace), kSectionFontPoints, QFont::Bold);
    font.setStyleHint(QFont::SansSerif);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

TerminalWindow::TerminalWindow(const SerialPortApi& api, const PortSettings& settings, std::string settingsPath)
    : state_(api), sectionFont_(SectionFont())
{
    state_.settings = settings;
    state_.settingsPath = std::move(settingsPath);
    SetUpFixedWindow(this, kMainClientWidth, kMainClientHeight);
    setWindowTitle(Text(kMainFirstTitle));
    CreateControls();
    CentreOnScreen(this);
    monitorTimer_.setInterval(kMonitorPeriodMs);
    connect(&monitorTimer_, &QTimer::timeout, this, &TerminalWindow::MonitorTick);
    safetyTimer_.setInterval(kSafetyTickMs);
    connect(&safetyTimer_, &QTimer::timeout, this, &TerminalWindow::Wake);
    connect(settingsButton(), &QPushButton::clicked, this, [this] {
        if (!dialog_)
            OpenSettingsDialog();
    });
    connect(sendButton(), &QPushButton::clicked, this, &TerminalWindow::SendByte);
    connect(rtsBox(), &QCheckBox::clicked, this, [this](bool on) { state_.connection.SetRts(on); });
    connect(dtrBox(), &QCheckBox::clicked, this, [this](bool on) { state_.connection.SetDtr(on); });
}

TerminalWindow::~TerminalWindow()
{
    monitorTimer_.stop();
    StopWatching();  // before the port closes with state_
}

// Controls are created in the order of the Tab chain; frames go to the back
// afterwards so that clicks reach the boxes inside them.
void TerminalWindow::CreateControls()
{
    for (int id = 0; id < MainControlCount; ++id) {
        const ControlSpec& c = kMainControls[id];
        QWidget* w = nullptr;
        switch (c.kind) {
        case ControlKind::Label:
        case ControlKind::SectionLabel: {
            auto* label = new QLabel(Text(c.text), this);
            if (c.kind == ControlKind::SectionLabel)
                label->setFont(sectionFont_);
            w = label;
            break;
        }
        case ControlKind::GroupBox:
            w = new QGroupBox(Text(c.text), this);
            break;
        case ControlKind::PushButton:
            w = new QPushButton(Text(c.text), this);
            break;
        case ControlKind::WrappingButton:
            w = new WrappingButton(Text(c.text), this);
            break;
        case ControlKind::CheckBox:
            w = new QCheckBox(Text(c.text), this);
            break;
        case ControlKind::ReadOnlyField: {
            auto* field = new QLineEdit(this);
            field->setReadOnly(true);
            w = field;
            break;
        }
        case ControlKind::DigitField:
            w = new DigitField(kTypedDigits, this);
            break;
        case ControlKind::DropDownList:
            break;  // the main window has none
        }
        if (!w)
            continue;
        w->setGeometry(c.x, c.y, c.width, c.height);
        controls_[id] = w;
    }
    for (int id = 0; id < MainControlCount; ++id) {
        if (kMainControls[id].kind == ControlKind::GroupBox)
            controls_[id]->lower();
    }
    sendField()->setFocus();
}

void TerminalWindow::Start()
{
    state_.startupPass = true;
    OpenSettingsDialog();
    ApplySettings();
    delete dialog_.data();  // never shown, nothing of it on the stack
    state_.startupPass = false;
    show();
    SetLamp(kLampIdle);
    StartMonitor();
}

void TerminalWindow::OpenSettingsDialog()
{
    RefreshPortDevices(state_);
    dialog_ = new SettingsDialog(state_.settings, PortChoiceLabels(state_.portDevices), this);
    connect(dialog_, &SettingsDialog::okClicked, this, &TerminalWindow::OnDialogOk);
    connect(dialog_, &SettingsDialog::dismissed, this, &TerminalWindow::CloseSettingsDialog);
    if (!state_.startupPass)
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
    StopWatching();  // the port is about to close
    ::ApplySettings(state_, dialog_->Choices(), rtsBox()->isChecked(), dtrBox()->isChecked());
    ShowPortStatus();
    for (MainControl indicator : {MainCtsIndicator, MainDsrIndicator, MainDcdIndicator, MainRiIndicator})
        Control<QLineEdit>(indicator)->setText(QStringLiteral("0"));
    const std::array<std::string, 6> texts = SettingsDisplayTexts(state_.settings);
    for (int i = 0; i < 6; ++i)
        Control<QLabel>(kSettingsValueLabels[i])->setText(Text(texts[i]));
    if (!state_.startupPass)
        StartMonitor();
}

// The first ticks run in every case and show the lines. Where the port has a
// descriptor, a notifier and a line watcher take over; the watcher's first
// wait tells whether the driver can report line changes, and if not the
// timer simply keeps ticking.
void TerminalWindow::StartMonitor()
{
    StopWatching();
    monitorTimer_.start();
    const int32_t descriptor = state_.connection.InputDescriptor();
    if (descriptor < 0)
        return;
    inputNotifier_ = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read, this);
    inputNotifier_->setEnabled(false);
    connect(inputNotifier_.get(), &QSocketNotifier::activated, this, &TerminalWindow::Wake);
    const int generation = ++watchGeneration_;
    const PortConnection* connection = &state_.connection;
    lineWatcher_.Start([connection] { return connection->WaitLineChange(); },
                       [connection] { return connection->ReadLineBits(); },
                       [this, generation](int32_t event) {
                           QMetaObject::invokeMethod(
                               this, [this, generation, event] { OnLineEvent(generation, event); },
                               Qt::QueuedConnection);
                       });
    eventDriven_ = true;
    safetyTimer_.start();
}

void TerminalWindow::StopWatching()
{
    ++watchGeneration_;
    lineWatcher_.Stop();
    inputNotifier_.reset();
    safetyTimer_.stop();
    eventDriven_ = false;
}

void TerminalWindow::OnLineEvent(int generation, int32_t event)
{
    if (generation != watchGeneration_ || !eventDriven_)
        return;
    if (event > 0) {
        Wake();
        return;
    }
    // The driver has no line wait: tick all the time, as without a descriptor.
    eventDriven_ = false;
    inputNotifier_.reset();
    safetyTimer_.stop();
    if (!monitorTimer_.isActive())
        monitorTimer_.start();
}

// Something may have arrived or changed. Ticks stay at least a period apart,
// so bytes still show one per period however the wake-ups come, and a
// descriptor that keeps reporting readable (a hung-up device) leaves the
// window at the timer's pace instead of spinning.
void TerminalWindow::Wake()
{
    if (!eventDriven_ || monitorTimer_.isActive())
        return;  // the running ticks will see it
    if (sinceTick_.isValid() && sinceTick_.elapsed() < kMonitorPeriodMs) {
        inputNotifier_->setEnabled(false);
        monitorTimer_.start();
        return;
    }
    MonitorTick();
}

void TerminalWindow::ShowPortStatus()
{
    const PortStatus status = PortStatusOf(state_);
    setWindowTitle(Text(status.title));
    QPalette palette = portValue()->palette();
    palette.setColor(QPalette::WindowText, ToQColor(status.portValueColour));
    portValue()->setPalette(palette);
    for (MainControl id : kOpenPortControls)
        controls_[id]->setEnabled(status.open);
    if (!status.open)
        Beep();
}

// Without events the timer ticks on. With them it runs while bytes are taken
// or the lamp is red, and stops after a tick that found nothing waiting and
// drew the lamp grey; the notifier (level-triggered, so off while the timer
// runs) wakes the window for the next byte.
void TerminalWindow::MonitorTick()
{
    const TickView view = ::MonitorTick(state_);
    if (view.linesRead)
        lineWatcher_.Taken(view.lineBits);  // the watcher may wait for the next change
    sinceTick_.start();
    ShowTick(view);
    if (!eventDriven_)
        return;
    const bool idle = view.field == FieldKept && view.lamp == kLampIdle;
    inputNotifier_->setEnabled(idle);
    if (idle)
        monitorTimer_.stop();
    else if (!monitorTimer_.isActive())
        monitorTimer_.start();
}

// Only a change of text or lamp colour is handed to the window system: an
// idle tick draws nothing, and the lamp still shows this tick's colour.
void TerminalWindow::ShowTick(const TickView& view)
{
    if (view.field == FieldEmptied)
        receivedField()->clear();
    else if (view.field == FieldShowsByte)
        receivedField()->setText(Text(view.fieldText));
    SetLamp(view.lamp);
    if (!view.linesRead)
        return;
    const MainControl order[4] = {MainCtsIndicator, MainDsrIndicator, MainDcdIndicator, MainRiIndicator};
    for (int i = 0; i < 4; ++i) {
        auto* indicator = Control<QLineEdit>(order[i]);
        const QString text = QString::fromLatin1(view.indicators[i]);
        if (indicator->text() != text)
            indicator->setText(text);
    }
}

void TerminalWindow::SendByte()
{
    if (!::SendByte(state_, sendField()->text().toStdString()))
        ShowMessageBox(std::string(kNoPortCaption), std::string(kNoPortText), MessageBoxError);
}

void TerminalWindow::SetLamp(Rgb colour)
{
    const QColor shown = ToQColor(colour);
    if (shown == lampColour_)
        return;  // what the window shows is already right
    lampColour_ = shown;
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
    StopWatching();
    // Whatever the open dialog holds is dropped, not applied.
    if (dialog_)
        delete dialog_.data();
    CloseTerminal(state_);
    event->accept();
}

SettingsDialog* TerminalWindow::settingsDialog() const { return dialog_.data(); }
