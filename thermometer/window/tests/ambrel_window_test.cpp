// Ambrel's real window on Qt's offscreen platform, with the thermometer faked
// by umockdev (the test runs under its preload) and the speech output replaced
// by a recorder.
#include "ambrel_startup.h"
#include "ambrel_window.h"
#include "history_window.h"
#include "fake_hid_bus.h"
#include "fake_speech.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

constexpr int kWait = 5000;  // generous: only failures ever wait this long

const char* const kSpeechControls[] = {"VoiceList", "VolumeSlider", "WizardCheck", "SayButton"};

struct AgentCall {
    const std::atomic<std::int32_t>* temperatureWhole = nullptr;
    std::function<void(bool)> setControlsEnabled;
    int calls = 0;
    int controlsEnabledAtStart = 0;
};
AgentCall g_agent;

void RecordAgent(const std::atomic<std::int32_t>* t, QWidget* window, std::function<void(bool)> setEnabled)
{
    g_agent.temperatureWhole = t;
    g_agent.setControlsEnabled = std::move(setEnabled);
    ++g_agent.calls;
    for (const char* name : kSpeechControls)
        g_agent.controlsEnabledAtStart += window->findChild<QWidget*>(name)->isEnabled();
}

// What a call printed on standard output (where message boxes go offscreen).
template <typename Fn>
std::string CaptureStdout(Fn fn)
{
    std::fflush(stdout);
    char name[] = "/tmp/ambrel-stdout-XXXXXX";
    int file = mkstemp(name);
    int saved = dup(1);
    dup2(file, 1);
    fn();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::string text;
    char chunk[256];
    lseek(file, 0, SEEK_SET);
    for (ssize_t n; (n = read(file, chunk, sizeof chunk)) > 0;)
        text.append(chunk, static_cast<size_t>(n));
    close(file);
    unlink(name);
    return text;
}

// Counts the queued calls a window receives (the reader's deliveries).
class MetaCallCounter : public QObject {
public:
    explicit MetaCallCounter(QObject* target) { target->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MetaCall)
            ++count;
        return false;
    }
    int count = 0;
};

}  // namespace

class AmbrelWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakeHidBus> bus_;
    std::unique_ptr<AmbrelWindow> window_;
    QStringList shown_;  // every text TemperatureBox took, in order

    void Start()
    {
        window_ = StartAmbrel(AmbrelServices{FakeSpeechApi(), RecordAgent});
        QVERIFY(window_);
        connect(Box(), &QLineEdit::textChanged, this, [this](const QString& t) { shown_ << t; });
    }
    template <typename T>
    T* Child(const char* name) { return window_->findChild<T*>(name); }
    QLineEdit* Box() { return Child<QLineEdit>("TemperatureBox"); }
    QString Status() { return Child<QLabel>("StatusLabel")->text(); }
    std::int32_t Whole() { return window_->State().TemperatureWhole.load(); }

    // Sends a report and waits until the window has shown text.
    void SendAndSee(int device, std::vector<std::uint8_t> report, const QString& text)
    {
        bus_->Send(device, report);
        QTRY_COMPARE_WITH_TIMEOUT(Box()->text(), text, kWait);
    }

private slots:
    void init()
    {
        QVERIFY2(FakeHidBus::Available(), "run under LD_PRELOAD=libumockdev-preload.so.0");
        bus_ = std::make_unique<FakeHidBus>();
        TheFakeSpeech() = FakeSpeech{};
        g_agent = AgentCall{};
        shown_.clear();
    }

    void cleanup()
    {
        window_.reset();
        bus_.reset();
    }

    void startsWithoutThermometer()
    {
        Start();
        QCOMPARE(Status(), QString("Нет связи с термометром"));
        QCOMPARE(Box()->text(), QString("OFF"));
        QVERIFY(window_->isVisible());
        QCOMPARE(window_->State().DeviceHandle.load(), 0);
        QCOMPARE(Whole(), 0);
    }

    void windowAndControlsMatchTheLayout()
    {
        Start();
        QCOMPARE(window_->windowTitle(), QString("Ambrel"));
        QCOMPARE(window_->size(), QSize(170, 170));
        QCOMPARE(window_->minimumSize(), QSize(170, 170));
        QCOMPARE(window_->maximumSize(), QSize(170, 170));
        Qt::WindowFlags flags = window_->windowFlags();
        QVERIFY(flags & Qt::WindowStaysOnTopHint);
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        const struct { const char* name; QRect rect; } table[] = {
            {"StatusLabel", {4, 4, 162, 16}},   {"TemperatureBox", {16, 24, 140, 40}},
            {"VoiceLabel", {4, 70, 106, 16}},   {"VoiceList", {4, 88, 110, 22}},
            {"VolumeLabel", {110, 70, 60, 16}}, {"VolumeSlider", {140, 90, 24, 80}},
            {"WizardCheck", {4, 114, 110, 16}}, {"SayButton", {16, 134, 100, 28}},
        };
        for (const auto& row : table) {
            QWidget* control = Child<QWidget>(row.name);
            QVERIFY2(control, row.name);
            QCOMPARE(control->geometry(), row.rect);
        }
        QCOMPARE(Child<QLabel>("VoiceLabel")->text(), QString("Голосовой движок"));
        QCOMPARE(Child<QLabel>("VolumeLabel")->text(), QString("Громкость"));
        QCOMPARE(Child<QCheckBox>("WizardCheck")->text(), QString("Волшебник"));
        QVERIFY(!Child<QCheckBox>("WizardCheck")->isChecked());
        QCOMPARE(Child<QPushButton>("SayButton")->text(), QString("Сказать"));
        QVERIFY(Child<QLabel>("StatusLabel")->alignment() & Qt::AlignHCenter);
        QVERIFY(!Child<QComboBox>("VoiceList")->isEditable());
        QSlider* volume = Child<QSlider>("VolumeSlider");
        QCOMPARE(volume->orientation(), Qt::Vertical);
        QCOMPARE(volume->minimum(), 0);
        QCOMPARE(volume->maximum(), 100);
        QCOMPARE(volume->value(), 80);
        QVERIFY(!volume->invertedAppearance());  // 100 at the top
    }

    // Every label's text, in both states of the status line, is measured with
    // the font the window gives it: it fits its box, the box lies inside the
    // window, and no two labels overlap.
    void labelTextsShowWhole()
    {
        Start();
        const QList<QLabel*> labels = window_->findChildren<QLabel*>();
        QVERIFY(labels.size() >= 3);
        const QRect windowRect(QPoint(0, 0), window_->size());
        QLabel* status = Child<QLabel>("StatusLabel");
        for (const QString& statusText : {QString("Нет связи с термометром"), QString("Термометр подключён")}) {
            status->setText(statusText);
            for (QLabel* label : labels) {
                const int textWidth = QFontMetrics(label->font()).horizontalAdvance(label->text());
                QVERIFY2(textWidth <= label->width(),
                         qPrintable(QString("%1: %2 px of text in %3 px").arg(label->text()).arg(textWidth).arg(label->width())));
                QVERIFY2(windowRect.contains(label->geometry()), qPrintable(label->objectName()));
                for (QLabel* other : labels)
                    QVERIFY2(other == label || !other->geometry().intersects(label->geometry()),
                             qPrintable(label->objectName() + " overlaps " + other->objectName()));
            }
        }
        QVERIFY(QFontInfo(status->font()).pointSizeF() >= 6);
    }

    void temperatureBoxIsBoldBlueAndReadOnly()
    {
        Start();
        QLineEdit* box = Box();
        QVERIFY(box->isReadOnly());
        QVERIFY(box->alignment() & Qt::AlignHCenter);
        QVERIFY(box->hasFrame());
        QFontInfo font(box->font());
        QVERIFY2(font.family() == "Arial" || font.family() == "Liberation Sans", qPrintable(font.family()));
        QVERIFY(font.bold());
        QCOMPARE(font.pointSize(), 22);
        QCOMPARE(box->palette().color(QPalette::Text), QColor(0, 0, 223));
    }

    void thermometerPresentAtStartIsOpenedBeforeShowing()
    {
        bus_->PlugThermometer();
        Start();
        QCOMPARE(Status(), QString("Термометр подключён"));
        QCOMPARE(Box()->text(), QString("OFF"));
        QVERIFY(window_->State().DeviceHandle.load() > 0);
    }

    void readingsAreDecodedAndOutOfRangeOnesDropped()
    {
        Start();
        int device = bus_->PlugThermometer();
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QString("Термометр подключён"), kWait);
        SendAndSee(device, {0x70, 0x01}, "23.0 °C");
        QCOMPARE(Whole(), 23);
        SendAndSee(device, {0xFF, 0xFF}, "-0.1 °C");
        QCOMPARE(Whole(), 0);
        SendAndSee(device, {0xA0, 0xFC}, "-54.0 °C");
        QCOMPARE(Whole(), -54);
        bus_->Send(device, {0x60, 0xFC});  // raw -928: -58.0, outside
        bus_->Send(device, {0x60, 0x09});  // raw 2400: 150.0, outside
        bus_->Send(device, {0x10});        // short report: no temperature in it
        SendAndSee(device, {0x5F, 0x09}, "149.9 °C");
        QCOMPARE(Whole(), 150);
        SendAndSee(device, {0x88, 0x01}, "24.5 °C");
        QCOMPARE(Whole(), 24);
        SendAndSee(device, {0x98, 0x01}, "25.5 °C");
        QCOMPARE(Whole(), 26);
        // The rejected reports never reached the screen.
        QCOMPARE(shown_, QStringList({"23.0 °C", "-0.1 °C", "-54.0 °C", "149.9 °C", "24.5 °C", "25.5 °C"}));
    }

    // The thermometer repeats itself every 100 ms; only a reading that changes
    // the shown text reaches the window, and a new handle always shows again.
    void repeatedReadingsDoNotWakeTheWindow()
    {
        Start();
        int device = bus_->PlugThermometer();
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QString("Термометр подключён"), kWait);
        MetaCallCounter deliveries(window_.get());
        // Spaced like a real thermometer's reports, so the reader takes them
        // one by one rather than only the newest of a queue.
        const std::vector<std::vector<std::uint8_t>> reports = {
            {0x70, 0x01}, {0x70, 0x01}, {0x70, 0x01},  // 23.0 three times
            {0x71, 0x01},                              // 23.0625: "23.1"
            {0x72, 0x01}};                             // 23.125: "23.1" again
        for (const auto& report : reports) {
            bus_->Send(device, report);
            QTest::qWait(150);
        }
        SendAndSee(device, {0x80, 0x01}, "24.0 °C");
        QCOMPARE(deliveries.count, 3);
        QCOMPARE(shown_, QStringList({"23.0 °C", "23.1 °C", "24.0 °C"}));
        QCOMPARE(Whole(), 24);
        std::int32_t before = window_->State().DeviceHandle.load();
        bus_->Unplug(device);
        bus_->Replug(device);
        QTRY_VERIFY_WITH_TIMEOUT(window_->State().DeviceHandle.load() != before &&
                                     window_->State().DeviceHandle.load() > 0, kWait);
        bus_->Send(device, {0x80, 0x01});                    // same text, new handle
        QTRY_COMPARE_WITH_TIMEOUT(deliveries.count, 4, kWait);
        QCOMPARE(Box()->text(), QString("24.0 °C"));
    }

    // Reports queue while the reader pauses; it shows the newest of them at
    // once instead of working through the queue a pause at a time.
    void queuedReadingsShowOnlyTheNewest()
    {
        Start();
        int device = bus_->PlugThermometer();
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QString("Термометр подключён"), kWait);
        SendAndSee(device, {0x40, 0x01}, "20.0 °C");
        MetaCallCounter deliveries(window_.get());
        for (std::uint8_t i = 1; i <= 20; ++i)
            bus_->Send(device, {static_cast<std::uint8_t>(0x40 + 2 * i), 0x01});  // 20.1 ... 22.5
        QTRY_COMPARE_WITH_TIMEOUT(Box()->text(), QString("22.5 °C"), kWait);
        QVERIFY2(deliveries.count <= 3, qPrintable(QString::number(deliveries.count)));
    }

    void unplugShowsOffAtTheNextCheckAndReplugReadsAgain()
    {
        Start();
        QTimer* timer = Child<QTimer>("PresenceTimer");
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 400);
        int device = bus_->PlugThermometer();
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QString("Термометр подключён"), kWait);
        SendAndSee(device, {0x70, 0x01}, "23.0 °C");

        // What the window shows right after the first check that follows the unplug.
        QStringList afterFirstCheck;
        auto probe = connect(timer, &QTimer::timeout, this, [&] {
            if (afterFirstCheck.isEmpty())
                afterFirstCheck << Status() << Box()->text();
        });
        bus_->Unplug(device);
        QTRY_VERIFY_WITH_TIMEOUT(!afterFirstCheck.isEmpty(), kWait);
        disconnect(probe);
        QCOMPARE(afterFirstCheck, QStringList({"Нет связи с термометром", "OFF"}));
        QCOMPARE(window_->State().DeviceHandle.load(), 0);

        bus_->Replug(device);
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QString("Термометр подключён"), kWait);
        QCOMPARE(Box()->text(), QString("OFF"));
        SendAndSee(device, {0x80, 0x01}, "24.0 °C");
        QCOMPARE(Whole(), 24);
    }

    void readingOfAnUnpluggedThermometerIsNeverShownAgain()
    {
        Start();
        int device = bus_->PlugThermometer();
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QString("Термометр подключён"), kWait);
        SendAndSee(device, {0x70, 0x01}, "23.0 °C");
        bus_->Send(device, {0x80, 0x01});  // may or may not be read before the unplug
        bus_->Unplug(device);
        QTRY_COMPARE_WITH_TIMEOUT(Box()->text(), QString("OFF"), kWait);
        int checks = window_->PresenceChecksDone();
        QTRY_VERIFY_WITH_TIMEOUT(window_->PresenceChecksDone() >= checks + 3, kWait);
        QCOMPARE(Box()->text(), QString("OFF"));
        QCOMPARE(shown_.last(), QString("OFF"));
    }

    void openIsRetriedWhileThePresentThermometerHasNoHandle()
    {
        int device = bus_->PlugThermometer();
        bus_->SetOpenable(device, false);  // udev has not granted access yet
        Start();
        QCOMPARE(Status(), QString("Термометр подключён"));
        QCOMPARE(window_->State().DeviceHandle.load(), 0);
        bus_->SetOpenable(device, true);
        QTRY_VERIFY_WITH_TIMEOUT(window_->State().DeviceHandle.load() > 0, kWait);
        SendAndSee(device, {0x70, 0x01}, "23.0 °C");
    }

    void replugBetweenTwoChecksIsReopened()
    {
        Start();
        int device = bus_->PlugThermometer();
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QString("Термометр подключён"), kWait);
        SendAndSee(device, {0x70, 0x01}, "23.0 °C");
        std::int32_t before = window_->State().DeviceHandle.load();
        // No event is processed in between, so no presence check sees it gone.
        bus_->Unplug(device);
        bus_->Replug(device);
        QTRY_VERIFY_WITH_TIMEOUT(window_->State().DeviceHandle.load() != before &&
                                     window_->State().DeviceHandle.load() > 0, kWait);
        SendAndSee(device, {0x80, 0x01}, "24.0 °C");
        QCOMPARE(Status(), QString("Термометр подключён"));
    }

    void sayBeforeAnyReadingSpeaksZero()
    {
        Start();
        QTest::mouseClick(Child<QPushButton>("SayButton"), Qt::LeftButton);
        const FakeSpeech& speech = TheFakeSpeech();
        QCOMPARE(speech.said, std::vector<std::string>{"Текущая температура 0 °C"});
        QCOMPARE(speech.selected, std::vector<std::int32_t>{0});
        QCOMPARE(speech.volumes, std::vector<std::int32_t>{80});
        QCOMPARE(g_agent.calls, 0);
    }

    void sayUsesTheChosenVoiceVolumeAndLastReading()
    {
        Start();
        int device = bus_->PlugThermometer();
        QTRY_COMPARE_WITH_TIMEOUT(Status(), QString("Термометр подключён"), kWait);
        SendAndSee(device, {0xB0, 0xFF}, "-5.0 °C");
        Child<QComboBox>("VoiceList")->setCurrentIndex(1);
        Child<QSlider>("VolumeSlider")->setValue(35);
        QTest::mouseClick(Child<QPushButton>("SayButton"), Qt::LeftButton);
        const FakeSpeech& speech = TheFakeSpeech();
        QCOMPARE(speech.said, std::vector<std::string>{"Текущая температура -5 °C"});
        QCOMPARE(speech.selected, std::vector<std::int32_t>{1});
        QCOMPARE(speech.volumes, std::vector<std::int32_t>{35});
    }

    void voiceListSelectsSvetlanaOrElseTheFirst()
    {
        TheFakeSpeech().voices = {"Anna", "Svetlana Premium", "Irina"};
        Start();
        QComboBox* list = Child<QComboBox>("VoiceList");
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->itemText(1), QString("Svetlana Premium"));
        QCOMPARE(list->currentIndex(), 0);  // only an exact name counts
        window_.reset();

        TheFakeSpeech().voices = {"Anna", "Irina", "sVETLANA"};
        Start();
        QCOMPARE(Child<QComboBox>("VoiceList")->currentIndex(), 2);
    }

    void lateServiceVoicesKeepOnlyAChosenVoice()
    {
        TheFakeSpeech().voices = {"ru", "ru-lv"};
        Start();
        QComboBox* list = Child<QComboBox>("VoiceList");
        QVERIFY(TheFakeSpeech().voicesChanged);
        // The speech service answered after start-up: its voices come first,
        // and nobody chose a voice yet, so the start-up rule picks again.
        TheFakeSpeech().voices = {"Anna", "Svetlana", "ru", "ru-lv"};
        TheFakeSpeech().voicesChanged();
        QCOMPARE(list->count(), 4);
        QCOMPARE(list->currentText(), QString("Svetlana"));
        TheFakeSpeech().voices = {"Irina", "Anna", "ru", "ru-lv"};
        TheFakeSpeech().voicesChanged();
        QCOMPARE(list->currentIndex(), 0);
        // A voice the user chose stays chosen.
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentText(), QString("Anna"));
        TheFakeSpeech().voices = {"espeak-ng", "Svetlana", "Irina", "Anna", "ru", "ru-lv"};
        TheFakeSpeech().voicesChanged();
        QCOMPARE(list->currentText(), QString("Anna"));
        QTest::mouseClick(Child<QPushButton>("SayButton"), Qt::LeftButton);
        QCOMPARE(TheFakeSpeech().selected, std::vector<std::int32_t>{3});
        window_.reset();
        QVERIFY(!TheFakeSpeech().voicesChanged);
    }

    void emptyVoiceListHandsMinusOne()
    {
        TheFakeSpeech().voices.clear();
        Start();
        QCOMPARE(Child<QComboBox>("VoiceList")->count(), 0);
        QTest::mouseClick(Child<QPushButton>("SayButton"), Qt::LeftButton);
        QCOMPARE(TheFakeSpeech().selected, std::vector<std::int32_t>{-1});
    }

    void wizardHandsTheTemperatureToTheAgent()
    {
        Start();
        QCheckBox* wizard = Child<QCheckBox>("WizardCheck");
        QStyleOptionButton option;
        option.initFrom(wizard);
        QRect indicator = wizard->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, wizard);
        QTest::mouseClick(wizard, Qt::LeftButton, {}, indicator.center());
        QVERIFY(wizard->isChecked());
        QTest::mouseClick(Child<QPushButton>("SayButton"), Qt::LeftButton);
        QCOMPARE(g_agent.calls, 1);
        QCOMPARE(g_agent.temperatureWhole, &window_->State().TemperatureWhole);
        QVERIFY(TheFakeSpeech().said.empty());
        // The press itself disabled the controls, before the agent started.
        QCOMPARE(g_agent.controlsEnabledAtStart, 0);
        QTest::mouseClick(Child<QPushButton>("SayButton"), Qt::LeftButton);
        QCOMPARE(g_agent.calls, 1);
        QVERIFY(Box()->isEnabled());
        g_agent.setControlsEnabled(true);
        for (const char* name : kSpeechControls)
            QVERIFY2(Child<QWidget>(name)->isEnabled(), name);
    }

    void historyRecordsReadingsAndItsPlotOpensAndCloses()
    {
        Start();
        int device = bus_->PlugThermometer();
        SendAndSee(device, {0x70, 0x01}, "23.0 °C");
        QCOMPARE(window_->findChild<HistoryWindow*>(), nullptr);  // nothing made until asked for
        QVERIFY(window_->History().Size() >= 1);
        QCOMPARE(window_->History().Recent(ReadingHistory::Clock::now()).back().celsius, 23.0f);

        window_->OpenHistory();
        QPointer<HistoryWindow> plot = window_->findChild<HistoryWindow*>();
        QVERIFY(plot);
        QTRY_VERIFY_WITH_TIMEOUT(plot->isVisible(), kWait);
        QCOMPARE(plot->windowTitle(), QString("История"));
        SendAndSee(device, {0x88, 0x01}, "24.5 °C");
        QVERIFY(!plot->grab().isNull());
        window_->OpenHistory();  // a second request shows the same window
        QCOMPARE(window_->findChildren<HistoryWindow*>().size(), 1);
        plot->close();
        QTRY_VERIFY_WITH_TIMEOUT(plot.isNull(), kWait);
    }

    void noSpeechEngineReportsAndShowsNoWindow()
    {
        TheFakeSpeech().engines = 0;
        std::unique_ptr<AmbrelWindow> window;
        std::string printed = CaptureStdout([&] { window = StartAmbrel(AmbrelServices{FakeSpeechApi(), nullptr}); });
        QVERIFY(!window);
        QCOMPARE(QString::fromStdString(printed), QString("Ошибка!\nГолосовой движок не доступен!.\n\n"));
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!w->isVisible());
    }
};

QTEST_MAIN(AmbrelWindowTest)
#include "ambrel_window_test.moc"
