// The byte exchange through the real serial line service, over a
// pseudo-terminal pair that stands in for COM1.
#include "cp1251.h"
#include "digit_field.h"
#include "port_api.h"
#include "port_devices.h"
#include "serial_line.h"
#include "settings_dialog.h"
#include "settings_file.h"
#include "terminal_window.h"
#include "window_test_support.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

std::string g_comPath;  // where COM1 leads; no other name opens anything
std::vector<int32_t> g_breaks;

int32_t OpenRouted(const char* settings, int32_t handshake, int32_t in, int32_t out)
{
    const std::string text = settings;
    const std::size_t colon = text.find(':');
    if (text.substr(0, colon) != "COM1")
        return 0;
    return SerialLine_Open((g_comPath + text.substr(colon)).c_str(), handshake, in, out);
}

int32_t SetBreakRecorded(int32_t handle, int32_t on)
{
    g_breaks.push_back(on);
    return SerialLine_SetBreak(handle, on);
}

std::string g_devRoot;  // a fake /dev whose ttyUSB links lead to ptys

std::vector<std::string> g_opened;  // settings strings handed to open

std::optional<std::vector<std::string>> FakeDevDevices() { return ListSerialDevices(g_devRoot, g_devRoot, {}); }

int32_t OpenRecorded(const char* settings, int32_t handshake, int32_t in, int32_t out)
{
    g_opened.push_back(settings);
    return SerialLine_Open(settings, handshake, in, out);
}

SerialPortApi RoutedApi()
{
    SerialPortApi api = SystemSerialPortApi();
    api.open = OpenRouted;
    api.setBreak = SetBreakRecorded;
    api.portDevices = nullptr;  // COM1 is the pty, not a device of this machine
    return api;
}

}  // namespace

class PtyExchangeTest : public QObject {
    Q_OBJECT

    int master_ = -1;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TerminalWindow> w_;

    void Start(const char* settingsFile = nullptr)
    {
        const QString path = dir_->filePath("Wirelet.ini");
        if (settingsFile)
            WriteBytes(path, QByteArray::fromStdString(Utf8ToCp1251(settingsFile)));
        PortSettings settings;
        LoadSettings(path.toStdString(), settings);
        w_ = std::make_unique<TerminalWindow>(RoutedApi(), settings, path.toStdString());
        w_->Start();
    }

    // Bytes the terminal sent, as the far end sees them.
    QByteArray FarEndReads(int count)
    {
        QByteArray got;
        pollfd p{master_, POLLIN, 0};
        while (got.size() < count && ::poll(&p, 1, 5000) > 0) {
            char c;
            if (::read(master_, &c, 1) == 1)
                got += c;
        }
        return got;
    }

    // Sends from the far end and waits until the driver holds the bytes, so
    // that each tick below finds what it should.
    void FarEndSends(const QByteArray& bytes, int reaching)
    {
        QCOMPARE(::write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
        const int32_t handle = w_->connection().Handle();
        for (int i = 0; i < 500 && SerialLine_InputCount(handle) < reaching; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    QStringList ShownPerTick(int ticks)
    {
        QStringList shown;
        for (int i = 0; i < ticks; ++i) {
            w_->MonitorTick();
            shown << w_->receivedField()->text();
        }
        return shown;
    }

private slots:
    void init()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0);
        g_comPath = ::ptsname(master_);
        g_breaks.clear();
        dir_ = std::make_unique<QTemporaryDir>();
    }

    void cleanup()
    {
        w_.reset();
        ::close(master_);
    }

    void typedValueIsSentLimitedTo255()
    {
        Start();
        QCOMPARE(w_->windowTitle(), QStringLiteral(" Порт COM1 открыт"));
        const QByteArray expected("\xFF\xFF\x00\x00\x41", 5);
        const char* typed[] = {"300", "255", "", "0", "65"};
        for (int i = 0; i < 5; ++i) {
            w_->sendField()->setText(typed[i]);
            QTest::mouseClick(w_->sendButton(), Qt::LeftButton);
            QCOMPARE(FarEndReads(1), expected.mid(i, 1));
            QCOMPARE(w_->sendField()->text(), QString(typed[i]));
        }
    }

    void bytesArrivingTogetherAreShownOnePerTick()
    {
        Start();
        FarEndSends(QByteArray("\x07\x80\xFF", 3), 3);
        QCOMPARE(ShownPerTick(4), (QStringList{"7", "128", "255", "255"}));
    }

    void xonAndXoffBytesAreOrdinaryWithOtherFlowControl_data()
    {
        QTest::addColumn<QString>("flow");
        QTest::newRow("none") << "2";
        QTest::newRow("hardware") << "1";
    }

    void xonAndXoffBytesAreOrdinaryWithOtherFlowControl()
    {
        QFETCH(QString, flow);
        Start(("[Порт]\r\nУправление потоком = " + flow.toStdString() + "\r\n").c_str());
        FarEndSends("\x0B\x0D", 2);
        QCOMPARE(ShownPerTick(2), (QStringList{"11", "13"}));
        QVERIFY(g_breaks.empty());
    }

    // The choices stand for the devices of a fake /dev: ttyUSB0 leads to a
    // second pty, ttyUSB1 to the far end's.
    void eachPortChoiceOpensTheDeviceShownBesideIt()
    {
        const int other = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(other >= 0 && ::grantpt(other) == 0 && ::unlockpt(other) == 0);
        QTemporaryDir dev;
        g_devRoot = dev.path().toStdString();
        QCOMPARE(::symlink(::ptsname(other), (g_devRoot + "/ttyUSB0").c_str()), 0);
        QCOMPARE(::symlink(g_comPath.c_str(), (g_devRoot + "/ttyUSB1").c_str()), 0);
        SerialPortApi api = SystemSerialPortApi();
        api.portDevices = FakeDevDevices;
        api.open = OpenRecorded;
        g_opened.clear();
        w_ = std::make_unique<TerminalWindow>(api, DefaultPortSettings(), dir_->filePath("Wirelet.ini").toStdString());
        w_->Start();
        QCOMPARE(w_->windowTitle(), QStringLiteral(" Порт COM1 открыт"));
        const auto openDialog = [this] {
            QTest::mouseClick(w_->settingsButton(), Qt::LeftButton);
            return w_->settingsDialog();
        };
        SettingsDialog* d = openDialog();
        QVERIFY(d);
        QCOMPARE(d->portList()->itemText(1), QString::fromStdString("COM2 — " + g_devRoot + "/ttyUSB1"));
        QCOMPARE(d->portList()->itemText(2), QStringLiteral("COM3"));
        d->portList()->setCurrentIndex(1);
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
        QCOMPARE(w_->windowTitle(), QStringLiteral(" Порт COM2 открыт"));
        QCOMPARE(g_opened, (std::vector<std::string>{g_devRoot + "/ttyUSB0:9600,N,8,1", g_devRoot + "/ttyUSB1:9600,N,8,1"}));
        w_->sendField()->setText("65");
        QTest::mouseClick(w_->sendButton(), Qt::LeftButton);
        QCOMPARE(FarEndReads(1), QByteArray("A"));
        d = openDialog();
        QVERIFY(d);
        d->portList()->setCurrentIndex(2);  // no device for it: nothing else is opened in its place
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
        QCOMPARE(w_->windowTitle(), QStringLiteral(" Ошибка! Порт COM3 недоступен."));
        QCOMPARE(g_opened.size(), std::size_t(2));
        ::close(other);
    }

    // The line discipline takes the port's XON/XOFF characters as flow
    // control (so would a Windows driver), so they never reach the terminal;
    // the break handling for them is covered with the in-process port layer.
    void xonXoffFlowControlKeepsItsBytesFromTheField()
    {
        Start("[Порт]\r\nУправление потоком = 0\r\nБайт Xon = 17\r\nБайт Xoff = 19\r\n");
        FarEndSends("\x07\x13\x08\x11", 2);
        QCOMPARE(ShownPerTick(3), (QStringList{"7", "8", "8"}));
        QVERIFY(g_breaks.empty());
    }
};

QTEST_MAIN(PtyExchangeTest)
#include "pty_exchange_test.moc"
