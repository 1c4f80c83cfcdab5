// The two Wirelet windows on the offscreen platform, with the port layer
// replaced in process so that no real port is ever touched.
#include "cp1251.h"
#include "digit_field.h"
#include "fake_port.h"
#include "settings_dialog.h"
#include "settings_file.h"
#include "terminal_window.h"
#include "window_test_support.h"

#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QMimeData>
#include <QPaintEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

const char kDefaultFile[] =
    "[Порт]\r\nПорт = 0\r\nСкорость = 11\r\nКоличество бит = 3\r\nЧётность = 2\r\n"
    "Стоп Биты = 0\r\nУправление потоком = 2\r\nБайт Xon = 11\r\nБайт Xoff = 13\r\n";

QByteArray Cp1251(const char* utf8) { return QByteArray::fromStdString(Utf8ToCp1251(utf8)); }
QStringList Calls(const std::string& prefix = "")
{
    QStringList list;
    for (const std::string& c : FakeCalls(prefix))
        list << QString::fromStdString(c);
    return list;
}

// Counts the paint events of a widget that touch the given rectangle.
class PaintCounter : public QObject {
public:
    PaintCounter(QWidget* widget, QRect area) : area_(area) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && static_cast<QPaintEvent*>(event)->region().intersects(area_))
            ++count;
        return false;
    }
    int count = 0;

private:
    QRect area_;
};

// A port that reports arrivals and line changes, as a UART does: bytes come
// through a pipe whose read end is the port's descriptor, and the line wait
// blocks until the test writes to a second pipe (or a signal ends it).
struct EventPort {
    int data[2] = {-1, -1};
    int lines[2] = {-1, -1};
    std::atomic<int> waits{0};
    std::atomic<int> polls{0};  // monitor ticks: only they ask for the input count
    std::atomic<int32_t> cts{0};  // read by the watcher's thread too
};
EventPort g_event;

SerialPortApi EventPortApi()
{
    SerialPortApi api = FakePortApi();
    api.inputDescriptor = [](int32_t) { return int32_t(g_event.data[0]); };
    api.inputCount = [](int32_t) {
        ++g_event.polls;
        int waiting = 0;
        return int32_t(::ioctl(g_event.data[0], FIONREAD, &waiting) == 0 ? waiting : 0);
    };
    api.read = [](int32_t, void* buffer, int32_t count) { return int32_t(::read(g_event.data[0], buffer, count) > 0); };
    api.waitLineChange = [](int32_t) {
        ++g_event.waits;
        pollfd p{g_event.lines[0], POLLIN, 0};
        if (::poll(&p, 1, -1) < 0)
            return int32_t(0);
        char released = 0;
        return int32_t(::read(g_event.lines[0], &released, 1) == 1 ? 1 : -1);
    };
    api.getCts = [](int32_t) { return g_event.cts.load(); };
    return api;
}

struct MetaCallCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        count += e->type() == QEvent::MetaCall;
        return false;
    }
};

}  // namespace

class TerminalWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TerminalWindow> w_;
    std::unique_ptr<QSignalSpy> beeps_;

    QString Path() const { return dir_->filePath("Wirelet.ini"); }

    void Start(const SerialPortApi& api = FakePortApi())
    {
        PortSettings settings;
        LoadSettings(Path().toStdString(), settings);
        w_ = std::make_unique<TerminalWindow>(api, settings, Path().toStdString());
        beeps_ = std::make_unique<QSignalSpy>(w_.get(), &TerminalWindow::beeped);
        w_->Start();
    }

    SettingsDialog* OpenDialog()
    {
        QTest::mouseClick(w_->settingsButton(), Qt::LeftButton);
        return w_->settingsDialog();
    }

    QStringList ShownValues() const
    {
        return {w_->portValue()->text(),   w_->speedValue()->text(),    w_->dataBitsValue()->text(),
                w_->parityValue()->text(), w_->stopBitsValue()->text(), w_->flowValue()->text()};
    }

    QColor LampPixel() const { return w_->grab().toImage().pixelColor(kLampCentre); }

private slots:
    void init()
    {
        ResetFakePort();
        dir_ = std::make_unique<QTemporaryDir>();
    }

    void cleanup()
    {
        beeps_.reset();
        w_.reset();
        g_event.cts = 0;
        for (int* pipe : {g_event.data, g_event.lines}) {
            for (int i : {0, 1}) {
                if (pipe[i] >= 0)
                    ::close(pipe[i]);
                pipe[i] = -1;
            }
        }
    }

    void startsWithDefaultsAndKeepsNineLinesAtNormalEnd()
    {
        Start();
        QCOMPARE(w_->windowTitle(), QStringLiteral(" Порт COM1 открыт"));
        QCOMPARE(ShownValues(), (QStringList{"COM1", "9600", "8", "Нет", "1", "Нет"}));
        QCOMPARE(w_->portValue()->palette().color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(Calls(), (QStringList{"open COM1:9600,N,8,1 0 1 1", "rts 0", "dtr 0"}));
        for (QLineEdit* indicator : {w_->ctsIndicator(), w_->dsrIndicator(), w_->dcdIndicator(), w_->riIndicator()})
            QCOMPARE(indicator->text(), QStringLiteral("0"));
        QVERIFY(!w_->dtrBox()->isChecked() && !w_->rtsBox()->isChecked());
        QVERIFY(w_->receivedField()->text().isEmpty());
        QVERIFY(w_->isVisible() && !w_->settingsDialog());
        w_->close();
        QCOMPARE(Calls().last(), QStringLiteral("close 7"));
        QCOMPARE(ReadBytes(Path()), Cp1251(kDefaultFile));
    }

    void mainWindowFollowsItsControlTable()
    {
        Start();
        QCOMPARE(w_->size(), QSize(362, 310));
        QCOMPARE(w_->minimumSize(), w_->maximumSize());
        QVERIFY(w_->windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(w_->windowFlags() & Qt::WindowMaximizeButtonHint));
        const QPoint offCentre = w_->geometry().center() - w_->screen()->availableGeometry().center();
        QVERIFY2(offCentre.manhattanLength() <= 2, "window not centred");
        const QStringList expected{
            "button|Настроить порт|250,35,85,35", "button|Передать|215,265,75,25",
            "check|DTR|off|50,174,45,15", "check|RTS|off|50,201,45,15", "field||155,268,42,20",
            "group|Линии порта|15,155,330,75", "group|Текущие настройки|15,5,330,145",
            "label|1|155,105,80,15", "label|8|155,65,80,15", "label|9600|155,45,80,15",
            "label|COM1|155,25,80,15", "label|CTS|175,203,25,15", "label|DCD|282,175,30,15",
            "label|DSR|175,175,30,15", "label|RI|282,203,30,15", "label|Количесто бит данных:|25,65,120,15",
            "label|Нет|155,125,185,15", "label|Нет|155,85,80,15", "label|Передача байта|25,270,110,15",
            "label|Порт:|25,25,35,15", "label|Приём байта|25,240,105,15", "label|Скорость Б/с:|25,45,75,15",
            "label|Стоповые биты:|25,105,85,15", "label|Управление потоком:|25,125,115,15",
            "label|Чётность:|25,85,55,15", "readonly|0|140,170,30,20", "readonly|0|140,197,30,20",
            "readonly|0|245,170,30,20", "readonly|0|245,197,30,20", "readonly||155,238,40,20"};
        QCOMPARE(DescribeControls(w_.get()), expected);
        for (QLabel* label : {w_->receiveLabel(), w_->sendLabel()}) {
            QCOMPARE(label->font().family(), QStringLiteral("Taboha"));
            QVERIFY(label->font().bold() && label->font().pointSize() == 10);
        }
    }

    void mainWindowTabOrderWrapsBothWays()
    {
        Start();
        w_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w_.get()));
        QCOMPARE(QApplication::focusWidget(), w_->sendField());
        const QList<QWidget*> forward{w_->sendButton(),   w_->settingsButton(), w_->dtrBox(),
                                      w_->rtsBox(),       w_->dsrIndicator(),   w_->ctsIndicator(),
                                      w_->dcdIndicator(), w_->riIndicator(),    w_->receivedField(),
                                      w_->sendField()};
        QCOMPARE(TabWalk(10), forward);
        QCOMPARE(TabWalk(2, false), (QList<QWidget*>{w_->receivedField(), w_->riIndicator()}));
    }

    void settingsDialogFollowsItsControlTable()
    {
        Start();
        SettingsDialog* d = OpenDialog();
        QVERIFY(d && d->isVisible() && d->isWindow());
        QCOMPARE(d->windowTitle(), QStringLiteral("Настройка Порта"));
        QCOMPARE(d->size(), QSize(305, 300));
        QCOMPARE(d->minimumSize(), d->maximumSize());
        QVERIFY(!d->isModal() && !(d->windowFlags() & Qt::WindowMaximizeButtonHint));
        const QStringList expected{
            "button|Ok|25,265,80,25", "button|Отмена|175,265,80,25", "field|11|95,217,30,20",
            "field|13|215,217,30,20", "group|Xon / Xoff|20,200,260,50", "group|Настрийки порта|10,5,280,250",
            "label|Байт \"Xoff\"|150,220,59,15", "label|Байт \"Xon\"|30,220,59,15",
            "label|Количество бит данных:|20,85,130,15", "label|Порт:|20,25,70,15",
            "label|Скорость  Бит/с:|20,55,110,15", "label|Стоповые биты:|20,145,105,15",
            "label|Управление потоком:|20,175,120,15", "label|Чётность:|20,115,90,15",
            "list|1;1.5;2|0|160,140,100,20", "list|5;6;7;8|3|160,80,100,20",
            "list|75;110;134;150;300;600;1200;1800;2400;4800;7200;9600;14400;19200;38400;57600;115200;128000|11|"
            "160,50,100,20",
            "list|COM1;COM2;COM3;COM4;COM5;COM6;COM7;COM8|0|160,20,100,20",
            "list|Xon / Xoff;Аппаратное;Нет|2|160,170,100,20", "list|Чёт;Нечёт;Нет|2|160,110,100,15"};
        QCOMPARE(DescribeControls(d), expected);
        d->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(d));
        d->portList()->setFocus();
        QCOMPARE(TabWalk(8), (QList<QWidget*>{d->speedList(), d->dataBitsList(), d->parityList(), d->stopBitsList(),
                                             d->flowList(), d->okButton(), d->cancelButton(), d->portList()}));
        d->flowList()->setCurrentIndex(0);
        d->cancelButton()->setFocus();
        QCOMPARE(TabWalk(3), (QList<QWidget*>{d->xonField(), d->xoffField(), d->portList()}));
    }

    void xonXoffGroupFollowsTheFlowControlChoice()
    {
        Start();
        SettingsDialog* d = OpenDialog();
        const QList<QWidget*> group{d->xonXoffFrame(), d->xonLabel(), d->xonField(), d->xoffLabel(), d->xoffField()};
        for (int flow : {0, 1, 0, 2}) {
            d->flowList()->setCurrentIndex(flow);
            for (QWidget* w : group)
                QCOMPARE(w->isEnabled(), flow == 0);
        }
        d->flowList()->setCurrentIndex(0);
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
        QCOMPARE(w_->flowValue()->text(), QStringLiteral("Программное ( Xon / Xoff )"));
        QVERIFY(Calls().contains("xonxoff 11 13"));
    }

    void storedChoicesAreReadAndShown_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<int>("portPosition");
        QTest::newRow("letter case and blanks")
            << Cp1251("[пОРТ]\r\n  пОРТ \t=   2\r\nСКОРОСТЬ=13\r\n; comment\r\nчЁТНОСТЬ= 0\r\n")
            << QStringList{"COM3", "19200", "8", "Чёт", "1", "Нет"} << 2;
        QTest::newRow("position 9") << Cp1251("[Порт]\r\nПорт = 9\r\n")
                                    << QStringList{"", "9600", "8", "Нет", "1", "Нет"} << -1;
        QTest::newRow("garbage") << QByteArray("\x00\xFF[\x01=\r\n\x98\x98", 10)
                                 << QStringList{"COM1", "9600", "8", "Нет", "1", "Нет"} << 0;
        QTest::newRow("position -1") << Cp1251("[Порт]\r\nПорт = -1\r\nСкорость = 18\r\n")
                                     << QStringList{"", "", "8", "Нет", "1", "Нет"} << -1;
    }

    void storedChoicesAreReadAndShown()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, shown);
        QFETCH(int, portPosition);
        WriteBytes(Path(), file);
        Start();
        QCOMPARE(ShownValues(), shown);
        QCOMPARE(OpenDialog()->portList()->currentIndex(), portPosition);
        QCOMPARE(ReadBytes(Path()), file);  // replaced only by a save
        QTest::mouseClick(w_->settingsDialog()->okButton(), Qt::LeftButton);
        QVERIFY(ReadBytes(Path()).startsWith(Cp1251("[Порт]\r\nПорт = ") +
                                             QByteArray::number(portPosition) + "\r\n"));
    }

    void xonAndXoffFieldsAreLimitedOnOk_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("xon");
        QTest::addColumn<int>("xoff");
        QTest::newRow("255") << "255" << 11 << 13;
        QTest::newRow("999") << "9999" << 11 << 13;  // the fourth digit is refused
        QTest::newRow("254") << "254" << 254 << 254;
        QTest::newRow("empty") << "" << 0 << 0;
        QTest::newRow("letters") << "1a2" << 12 << 12;
    }

    void xonAndXoffFieldsAreLimitedOnOk()
    {
        QFETCH(QString, typed);
        QFETCH(int, xon);
        QFETCH(int, xoff);
        Start();
        SettingsDialog* d = OpenDialog();
        d->flowList()->setCurrentIndex(0);
        for (QLineEdit* field : {static_cast<QLineEdit*>(d->xonField()), static_cast<QLineEdit*>(d->xoffField())}) {
            field->clear();
            QTest::keyClicks(field, typed);
        }
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
        QCOMPARE(w_->settings().xonByte, xon);
        QCOMPARE(w_->settings().xoffByte, xoff);
        QVERIFY(ReadBytes(Path()).contains(Cp1251("Байт Xon = ") + QByteArray::number(w_->settings().xonByte)));
    }

    void cancelLeavesFilePortAndWindowUnchanged()
    {
        Start();
        const QStringList callsBefore = Calls();
        const QString title = w_->windowTitle();
        SettingsDialog* d = OpenDialog();
        d->portList()->setCurrentIndex(4);
        d->flowList()->setCurrentIndex(0);
        QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
        QVERIFY(!w_->settingsDialog());
        QCOMPARE(Calls(), callsBefore);
        QCOMPARE(w_->windowTitle(), title);
        QCOMPARE(ShownValues(), (QStringList{"COM1", "9600", "8", "Нет", "1", "Нет"}));
        QCOMPARE(ReadBytes(Path()), Cp1251(kDefaultFile));
        QCOMPARE(OpenDialog()->portList()->currentIndex(), 0);
        w_->settingsDialog()->close();  // the close box counts as Отмена
        QVERIFY(!w_->settingsDialog());
        QCOMPARE(Calls(), callsBefore);
    }

    void secondSettingsPressOpensNoSecondDialog()
    {
        Start();
        SettingsDialog* first = OpenDialog();
        QVERIFY(first);
        QCOMPARE(OpenDialog(), first);
        QCOMPARE(w_->findChildren<SettingsDialog*>().size(), 1);
    }

    void closingMainWindowWithDialogOpenDropsItsChoices()
    {
        Start();
        SettingsDialog* d = OpenDialog();
        d->portList()->setCurrentIndex(5);
        QVERIFY(w_->close());
        QVERIFY(!w_->settingsDialog());
        QCOMPARE(Calls().last(), QStringLiteral("close 7"));
        QCOMPARE(Calls("open").size(), 1);
        QCOMPARE(ReadBytes(Path()), Cp1251(kDefaultFile));
    }

    void failedOpenIsShownAndTerminalKeepsRunning()
    {
        FakePort().openSucceeds = false;
        Start();
        QCOMPARE(w_->windowTitle(), QStringLiteral(" Ошибка! Порт COM1 недоступен."));
        QCOMPARE(w_->portValue()->palette().color(QPalette::WindowText), QColor(216, 0, 0));
        QVERIFY(!w_->rtsBox()->isEnabled() && !w_->dtrBox()->isEnabled() && !w_->sendButton()->isEnabled());
        QCOMPARE(beeps_->count(), 1);
        QCOMPARE(Calls(), QStringList{"open COM1:9600,N,8,1 0 1 1"});
        FakePort().incoming = {5};
        w_->MonitorTick();
        QVERIFY(w_->receivedField()->text().isEmpty());
        StdoutCapture out;
        w_->SendByte();
        QCOMPARE(out.Take(), std::string("Ошибка\nВыбраный порт занят или не соществует\n\n"));
        QVERIFY(Calls("write").isEmpty());
        FakePort().openSucceeds = true;
        QTest::mouseClick(OpenDialog()->okButton(), Qt::LeftButton);
        QCOMPARE(w_->windowTitle(), QStringLiteral(" Порт COM1 открыт"));
        QCOMPARE(w_->portValue()->palette().color(QPalette::WindowText), QColor(Qt::black));
        QVERIFY(w_->rtsBox()->isEnabled() && w_->sendButton()->isEnabled());
        QCOMPARE(beeps_->count(), 1);
    }

    // The apply order and the Xon/Xoff handling are tested on the logic
    // alone; here only that the window feeds it and shows its reports.
    void boxesDriveLinesAndOkTakesTheirState()
    {
        Start();
        ClickCheckBox(w_->dtrBox());
        ClickCheckBox(w_->rtsBox());
        QCOMPARE(Calls().mid(3), (QStringList{"dtr 1", "rts 1"}));
        FakePort().calls.clear();
        QTest::mouseClick(OpenDialog()->okButton(), Qt::LeftButton);
        QCOMPARE(Calls(), (QStringList{"close 7", "open COM1:9600,N,8,1 0 1 1", "rts 1", "dtr 1"}));
    }

    void receivedBytesShowOnePerTickWithTheLamp()
    {
        Start();
        QCOMPARE(LampPixel(), ToQColor(kLampIdle));
        FakePort().incoming = {1, 255};
        FakePort().cts = 1;
        for (const char* shown : {"1", "255"}) {
            w_->MonitorTick();
            QCOMPARE(w_->receivedField()->text(), QString(shown));
            QCOMPARE(LampPixel(), ToQColor(kLampReceived));
        }
        w_->MonitorTick();
        QCOMPARE(w_->receivedField()->text(), QStringLiteral("255"));
        QCOMPARE(LampPixel(), ToQColor(kLampIdle));
        QCOMPARE(w_->ctsIndicator()->text(), QStringLiteral("1"));
        QCOMPARE(w_->dsrIndicator()->text(), QStringLiteral("0"));
    }

    // An idle tick paints nothing; a byte paints the lamp red once and the
    // next idle tick grey once. Indicators repaint only when a line changes.
    void ticksRepaintOnlyWhatChanged()
    {
        Start();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
        const QRect lamp(kLampCentre - QPoint(kLampRadius, kLampRadius), QSize(2 * kLampRadius, 2 * kLampRadius));
        PaintCounter lampPaints(w_.get(), lamp);
        PaintCounter ctsPaints(w_->ctsIndicator(), w_->ctsIndicator()->rect());
        PaintCounter dsrPaints(w_->dsrIndicator(), w_->dsrIndicator()->rect());
        const auto tick = [] (TerminalWindow* w) {
            w->MonitorTick();
            QCoreApplication::processEvents();
        };
        tick(w_.get());
        lampPaints.count = ctsPaints.count = dsrPaints.count = 0;
        for (int i = 0; i < 3; ++i)
            tick(w_.get());
        QCOMPARE(lampPaints.count, 0);
        QCOMPARE(ctsPaints.count, 0);
        FakePort().incoming = {42};
        tick(w_.get());
        QCOMPARE(lampPaints.count, 1);
        QCOMPARE(LampPixel(), ToQColor(kLampReceived));
        lampPaints.count = 0;  // grabs paint the whole window
        tick(w_.get());
        tick(w_.get());
        QCOMPARE(lampPaints.count, 1);
        QCOMPARE(LampPixel(), ToQColor(kLampIdle));
        ctsPaints.count = dsrPaints.count = 0;
        FakePort().cts = 1;
        tick(w_.get());
        tick(w_.get());
        QCOMPARE(ctsPaints.count, 1);
        QCOMPARE(dsrPaints.count, 0);
        QCOMPARE(w_->ctsIndicator()->text(), QStringLiteral("1"));
    }

    // With a port that reports events the monitor ticks only while there is
    // something to show, with the notifier off while it ticks; closing the
    // window ends a line wait in progress.
    void eventDrivenMonitorSleepsBetweenBytesAndLineChanges()
    {
        QVERIFY(::pipe(g_event.data) == 0 && ::pipe(g_event.lines) == 0);
        g_event.waits = 0;
        Start(EventPortApi());
        const QList<QSocketNotifier*> notifiers = w_->findChildren<QSocketNotifier*>();
        QCOMPARE(notifiers.size(), 1);
        QSocketNotifier* input = notifiers.front();
        QTRY_VERIFY(!w_->monitorTicking());
        QVERIFY(input->isEnabled());

        // One pass of the event loop at a time, so that the checks see the
        // tick that showed the byte and not a later one.
        QCOMPARE(::write(g_event.data[1], "\x2A", 1), ssize_t(1));
        for (int i = 0; i < 5000 && w_->receivedField()->text().isEmpty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            QCoreApplication::processEvents();
        }
        QCOMPARE(w_->receivedField()->text(), QStringLiteral("42"));
        QCOMPARE(w_->lampColour(), ToQColor(kLampReceived));
        QVERIFY(w_->monitorTicking() && !input->isEnabled());
        QTRY_VERIFY(!w_->monitorTicking());
        QCOMPARE(w_->lampColour(), ToQColor(kLampIdle));
        QVERIFY(input->isEnabled());

        // Only the watcher's event is let through here, so the one-second
        // tick cannot be what shows the line.
        MetaCallCounter events;
        w_->installEventFilter(&events);
        g_event.cts = 1;
        QCOMPARE(::write(g_event.lines[1], "c", 1), ssize_t(1));
        for (int i = 0; i < 5000 && events.count < 1; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            QCoreApplication::sendPostedEvents(w_.get(), QEvent::MetaCall);
        }
        QCOMPARE(events.count, 1);
        w_->removeEventFilter(&events);
        QVERIFY(w_->ctsIndicator()->text() == QStringLiteral("1") || w_->monitorTicking());
        QTRY_COMPARE(w_->ctsIndicator()->text(), QStringLiteral("1"));
        QTRY_VERIFY(!w_->monitorTicking());
        QTRY_COMPARE(g_event.waits.load(), 2);  // the tick took the change: the watcher waits again

        // "Ok" reopens the port: the waiting watcher ends first, a new one waits.
        FakePort().calls.clear();
        QTest::mouseClick(OpenDialog()->okButton(), Qt::LeftButton);
        QCOMPARE(Calls().mid(0, 2), (QStringList{"close 7", "open COM1:9600,N,8,1 0 1 1"}));
        for (int i = 0; i < 5000 && g_event.waits < 3; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        QCOMPARE(g_event.waits.load(), 3);

        w_->close();
        QCOMPARE(Calls().last(), QStringLiteral("close 7"));
        QCOMPARE(g_event.waits.load(), 3);
    }

    // A line that never rests: five thousand changes wait in the pipe, and
    // the watcher takes one per tick, each reported by one event.
    void fastTogglingLinesWakeTheWatcherOncePerTick()
    {
        QVERIFY(::pipe(g_event.data) == 0 && ::pipe(g_event.lines) == 0);
        g_event.waits = 0;
        Start(EventPortApi());
        QTRY_VERIFY(!w_->monitorTicking());
        QTRY_COMPARE(g_event.waits.load(), 1);
        MetaCallCounter events;
        w_->installEventFilter(&events);

        g_event.cts = 1;
        const std::string flood(5000, 'c');
        QCOMPARE(::write(g_event.lines[1], flood.data(), flood.size()), ssize_t(flood.size()));
        const int pollsBefore = g_event.polls;
        for (int i = 0; i < 5000 && g_event.polls < pollsBefore + 5; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            QCoreApplication::processEvents();
        }
        QCOMPARE(w_->ctsIndicator()->text(), QStringLiteral("1"));
        w_->removeEventFilter(&events);
        w_->close();  // the watcher has ended: the counts are final
        const int ticks = g_event.polls - pollsBefore;
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
        QVERIFY2(g_event.waits <= ticks + 1, qPrintable(QStringLiteral("%1 waits, %2 ticks").arg(g_event.waits).arg(ticks)));
        QVERIFY(events.count >= 1 && events.count <= ticks + 1);
    }

    void typedFieldsTakeThreeDigitsAndEnterSendsNothing()
    {
        Start();
        QTest::keyClicks(w_->sendField(), "1x2-345");
        QCOMPARE(w_->sendField()->text(), QStringLiteral("123"));
        QTest::keyClick(w_->sendField(), Qt::Key_Return);
        QVERIFY(Calls("write").isEmpty());
        QTest::keyClick(w_->sendField(), Qt::Key_Backspace);
        QTest::keyClicks(w_->sendField(), "9");
        QCOMPARE(w_->sendField()->text(), QStringLiteral("129"));
        PortSettings stored = DefaultPortSettings();
        stored.xonByte = 1234;
        stored.xoffByte = -5;
        stored.flowControlIndex = 0;
        SettingsDialog d(stored, PortChoiceLabels({}), nullptr);
        QCOMPARE(d.xonField()->text(), QStringLiteral("1234"));  // shown whole
        QCOMPARE(d.xoffField()->text(), QStringLiteral("-5"));
        QTest::keyClicks(d.xonField(), "5");
        QTest::keyClick(d.xoffField(), Qt::Key_Backspace);
        QTest::keyClicks(d.xoffField(), "77");
        QCOMPARE(d.xonField()->text(), QStringLiteral("1234"));
        QCOMPARE(d.xoffField()->text(), QStringLiteral("-77"));
    }

    // A middle-click and a drop both insert() the text; paste() is the rest.
    void pastedDroppedOrMiddleClickedTextIsHeldToTheSameRule()
    {
        Start();
        PortSettings stored = DefaultPortSettings();
        stored.xonByte = 1234;
        SettingsDialog d(stored, PortChoiceLabels({}), nullptr);
        for (DigitField* field : {w_->sendField(), d.xonField(), d.xoffField()}) {
            field->setText(QString());
            for (const char* bad : {"-1", "abc", "12345678901", "1 2", "\u0661"}) {
                field->insert(QString::fromUtf8(bad));
                QGuiApplication::clipboard()->setText(QString::fromUtf8(bad));
                field->paste();
                QMimeData mime;
                mime.setText(QString::fromUtf8(bad));
                QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(field, &drop);
                QCOMPARE(field->text(), QString());
            }
            field->insert(QStringLiteral("25"));
            QGuiApplication::clipboard()->setText(QStringLiteral("5"));
            field->paste();
            field->paste();
            QCOMPARE(field->text(), QStringLiteral("255"));
        }
        d.xonField()->setText(QStringLiteral("1234"));
        d.xonField()->insert(QStringLiteral("a"));
        QCOMPARE(d.xonField()->text(), QStringLiteral("1234"));  // a shown value opens no way in
    }
};

QTEST_MAIN(TerminalWindowTest)
#include "terminal_window_test.moc"
