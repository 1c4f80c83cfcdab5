#include "settings_dialog.h"

#include "terminal_logic.h"
#include "window_frame.h"

#include <QAbstractItemView>
#include <QCloseEvent>

#include <map>

namespace {

QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

SettingsDialog::SettingsDialog(const PortSettings& settings, const std::array<std::string, 8>& portLabels,
                               QWidget* owner)
    : QWidget(owner)
{
    SetUpFixedWindow(this, kDialogClientWidth, kDialogClientHeight);
    setWindowTitle(Text(kDialogTitle));
    CreateControls(settings, portLabels);
    connect(flowList(), &QComboBox::currentIndexChanged, this, &SettingsDialog::UpdateXonXoffGroup);
    connect(okButton(), &QPushButton::clicked, this, &SettingsDialog::okClicked);
    connect(cancelButton(), &QPushButton::clicked, this, &QWidget::close);
    CentreOnScreen(this);
}

// Created in the order of the Tab chain; the two frames are sent to the back
// so that they do not sit over the controls they surround.
void SettingsDialog::CreateControls(const PortSettings& s, const std::array<std::string, 8>& portLabels)
{
    const SettingsChoices shown = ChoicesFromSettings(s);
    const std::map<int, int32_t> chosen{
        {DialogPortList, shown.portIndex},         {DialogSpeedList, shown.baudIndex},
        {DialogDataBitsList, shown.dataBitsIndex}, {DialogParityList, shown.parityIndex},
        {DialogStopBitsList, shown.stopBitsIndex}, {DialogFlowList, shown.flowControlIndex}};
    for (int id = 0; id < DialogControlCount; ++id) {
        const ControlSpec& c = kDialogControls[id];
        QWidget* w = nullptr;
        switch (c.kind) {
        case ControlKind::Label:
        case ControlKind::SectionLabel:
            w = new QLabel(Text(c.text), this);
            break;
        case ControlKind::GroupBox:
            w = new QGroupBox(Text(c.text), this);
            break;
        case ControlKind::PushButton:
        case ControlKind::WrappingButton:
            w = new QPushButton(Text(c.text), this);
            break;
        case ControlKind::DropDownList: {
            auto* list = new QComboBox(this);
            list->setEditable(false);
            if (id == DialogPortList) {
                for (const std::string& item : portLabels)
                    list->addItem(Text(item));
                // Device names are longer than the list is wide: open it wide enough.
                list->view()->setMinimumWidth(list->view()->sizeHintForColumn(0) + 2 * list->view()->frameWidth());
            } else {
                for (std::string_view item : c.items)
                    list->addItem(Text(item));
            }
            list->setCurrentIndex(chosen.at(id));
            w = list;
            break;
        }
        case ControlKind::DigitField: {
            auto* field = new DigitField(kTypedDigits, this);
            field->setText(Text(id == DialogXonField ? shown.xonText : shown.xoffText));
            w = field;
            break;
        }
        case ControlKind::CheckBox:
        case ControlKind::ReadOnlyField:
            break;  // the dialog has none
        }
        if (!w)
            continue;
        w->setGeometry(c.x, c.y, c.width, c.height);
        controls_[id] = w;
    }
    Control<QGroupBox>(DialogXonXoffFrame)->lower();
    Control<QGroupBox>(DialogFrame)->lower();
    UpdateXonXoffGroup();
}

SettingsChoices SettingsDialog::Choices() const
{
    SettingsChoices c;
    c.portIndex = portList()->currentIndex();
    c.baudIndex = speedList()->currentIndex();
    c.dataBitsIndex = dataBitsList()->currentIndex();
    c.parityIndex = parityList()->currentIndex();
    c.stopBitsIndex = stopBitsList()->currentIndex();
    c.flowControlIndex = flowList()->currentIndex();
    c.xonText = xonField()->text().toStdString();
    c.xoffText = xoffField()->text().toStdString();
    return c;
}

void SettingsDialog::UpdateXonXoffGroup()
{
    const bool on = XonXoffGroupEnabled(flowList()->currentIndex());
    for (DialogControl id : kXonXoffGroup)
        controls_[id]->setEnabled(on);
}

void SettingsDialog::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit dismissed();
}
