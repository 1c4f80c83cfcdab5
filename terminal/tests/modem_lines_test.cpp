// The modem lines through the real serial line service, against /dev/COM1
// faked by umockdev: a handler keeps DTR, RTS and the four inputs in a model
// and hands every other request to the pseudo-terminal behind the node.
// Runs with libumockdev-preload loaded.

// GLib's headers use "signals" as a name, which Qt's headers turn into a keyword.
#include <umockdev.h>

#include "port_api.h"
#include "settings_dialog.h"
#include "terminal_window.h"
#include "window_test_support.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/ioctl.h>

#include <memory>
#include <mutex>

namespace {

struct LineModel {
    std::mutex lock;
    int bits = 0;
    QStringList changes;  // "rts 1", "dtr 0", ... in the order they came
};

LineModel g_lines;
UMockdevTestbed* g_testbed = nullptr;

void RecordChanges(int mask, bool on)
{
    if (mask & TIOCM_RTS)
        g_lines.changes << QString("rts %1").arg(on);
    if (mask & TIOCM_DTR)
        g_lines.changes << QString("dtr %1").arg(on);
}

// Runs on umockdev's worker thread.
gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer)
{
    const gulong request = umockdev_ioctl_client_get_request(client);
    if (request != TIOCMGET && request != TIOCMBIS && request != TIOCMBIC && request != TIOCMSET) {
        int error = 0;
        const int result = umockdev_ioctl_client_execute(client, &error, nullptr);
        umockdev_ioctl_client_complete(client, result, error);
        return TRUE;
    }
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    UMockdevIoctlData* value = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), nullptr);
    if (!value) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return TRUE;
    }
    std::lock_guard<std::mutex> hold(g_lines.lock);
    int bits = 0;
    if (request != TIOCMGET)
        memcpy(&bits, value->data, sizeof bits);
    if (request == TIOCMGET)
        umockdev_ioctl_data_update(value, 0, reinterpret_cast<guint8*>(&g_lines.bits), sizeof g_lines.bits);
    else if (request == TIOCMBIS)
        g_lines.bits |= bits, RecordChanges(bits, true);
    else if (request == TIOCMBIC)
        g_lines.bits &= ~bits, RecordChanges(bits, false);
    else
        g_lines.changes << QString("set %1").arg(bits), g_lines.bits = bits;
    g_object_unref(value);
    umockdev_ioctl_client_complete(client, 0, 0);
    return TRUE;
}

const char kCom1[] =
    "P: /devices/platform/serial8250/tty/COM1\n"
    "N: COM1\n"
    "E: SUBSYSTEM=tty\n"
    "E: DEVNAME=/dev/COM1\n"
    "A: dev=4:64\n";  // the preload only counts major 4 as a terminal

void SetInputs(int bits)
{
    std::lock_guard<std::mutex> hold(g_lines.lock);
    g_lines.bits = (g_lines.bits & (TIOCM_RTS | TIOCM_DTR)) | bits;
}

int OutputLines()
{
    std::lock_guard<std::mutex> hold(g_lines.lock);
    return g_lines.bits & (TIOCM_RTS | TIOCM_DTR);
}

// RTS and DTR changes since the last call.
QStringList TakeChanges()
{
    std::lock_guard<std::mutex> hold(g_lines.lock);
    QStringList changes = g_lines.changes.filter(QRegularExpression("^(rts|dtr)"));
    g_lines.changes.clear();
    return changes;
}

}  // namespace

class ModemLinesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TerminalWindow> w_;

    void Start()
    {
        const std::string path = dir_->filePath("Wirelet.ini").toStdString();
        // COM1 by name only: a scan of /dev could reach the machine's own ports.
        SerialPortApi api = SystemSerialPortApi();
        api.portDevices = nullptr;
        w_ = std::make_unique<TerminalWindow>(api, DefaultPortSettings(), path);
        w_->Start();
        QCOMPARE(w_->windowTitle(), QStringLiteral(" Порт COM1 открыт"));
    }

    void ApplyFlowControl(int position)
    {
        QTest::mouseClick(w_->settingsButton(), Qt::LeftButton);
        w_->settingsDialog()->flowList()->setCurrentIndex(position);
        QTest::mouseClick(w_->settingsDialog()->okButton(), Qt::LeftButton);
    }

    QStringList Indicators() const
    {
        return {w_->ctsIndicator()->text(), w_->dsrIndicator()->text(), w_->dcdIndicator()->text(),
                w_->riIndicator()->text()};
    }

private slots:
    void initTestCase()
    {
        // Without the preload, COM1 would lead to the machine's own ttyS0.
        QVERIFY2(qgetenv("LD_PRELOAD").contains("libumockdev-preload"), "run with libumockdev-preload.so.0 preloaded");
        QVERIFY(!QFile::exists("/dev/COM1"));
        g_testbed = umockdev_testbed_new();
        QVERIFY(umockdev_testbed_add_from_string(g_testbed, kCom1, nullptr));
        QVERIFY(QFile::exists("/dev/COM1"));
        UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
        g_signal_connect(handler, "handle-ioctl", G_CALLBACK(HandleIoctl), nullptr);
        QVERIFY(umockdev_testbed_attach_ioctl(g_testbed, "/dev/COM1", handler, nullptr));
    }

    // The handler thread may still be finishing the last close; give it a
    // moment before the testbed (and its directory) goes away.
    void cleanupTestCase()
    {
        QTest::qWait(100);
        g_clear_object(&g_testbed);
    }

    void init()
    {
        std::lock_guard<std::mutex> hold(g_lines.lock);
        g_lines.bits = TIOCM_RTS | TIOCM_DTR;  // as a serial core leaves them on open
        g_lines.changes.clear();
        dir_ = std::make_unique<QTemporaryDir>();
    }

    void cleanup() { w_.reset(); }

    void boxesDriveTheOutputLines()
    {
        Start();
        QCOMPARE(OutputLines(), 0);  // both boxes start clear
        ClickCheckBox(w_->dtrBox());
        QCOMPARE(OutputLines(), TIOCM_DTR);
        ClickCheckBox(w_->rtsBox());
        QCOMPARE(OutputLines(), TIOCM_DTR | TIOCM_RTS);
        ClickCheckBox(w_->dtrBox());
        QCOMPARE(OutputLines(), TIOCM_RTS);
    }

    void inputLinesShowWithinOneTick()
    {
        Start();
        QCOMPARE(Indicators(), (QStringList{"0", "0", "0", "0"}));
        SetInputs(TIOCM_CTS | TIOCM_CAR);
        w_->MonitorTick();
        QCOMPARE(Indicators(), (QStringList{"1", "0", "1", "0"}));
        SetInputs(TIOCM_DSR | TIOCM_RNG);
        w_->MonitorTick();
        QCOMPARE(Indicators(), (QStringList{"0", "1", "0", "1"}));
    }

    void okSetsRtsThenDtrUnlessFlowControlIsHardware()
    {
        Start();
        ClickCheckBox(w_->rtsBox());
        ClickCheckBox(w_->dtrBox());
        TakeChanges();
        ApplyFlowControl(1);
        QCOMPARE(TakeChanges(), QStringList());
        for (int position : {2, 0}) {
            ApplyFlowControl(position);
            const QStringList changes = TakeChanges();
            QCOMPARE(changes.mid(changes.size() - 2), (QStringList{"rts 1", "dtr 1"}));
            QCOMPARE(OutputLines(), TIOCM_RTS | TIOCM_DTR);
        }
    }
};

QTEST_MAIN(ModemLinesTest)
#include "modem_lines_test.moc"
