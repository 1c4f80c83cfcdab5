// The system backend on POSIX ttys: termios, modem-control ioctls, poll for
// the time-outs, TIOCEXCL plus flock for exclusive use.
#include "serial_device.h"
#include "serial_posix_speed.h"
#include "system_console.h"

#include <cerrno>
#include <chrono>
#include <optional>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Rounded up, so that a wait never ends before its deadline.
int MillisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for events on fd until the deadline; false on time-out or error.
bool WaitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, MillisecondsUntil(deadline));
        if (n > 0)
            return (p.revents & events) != 0;
        if (n < 0 && errno != EINTR)
            return false;
        if (n == 0 && Clock::now() >= deadline)
            return false;
    }
}

tcflag_t DataBitsFlag(int bits)
{
    switch (bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

void ApplyLineSettings(termios& tio, const LineSettings& line)
{
    if (line.dataBits) {
        tio.c_cflag &= ~CSIZE;
        tio.c_cflag |= DataBitsFlag(*line.dataBits);
    }
    if (line.parity) {
        tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
        switch (*line.parity) {
        case 'E': tio.c_cflag |= PARENB; break;
        case 'O': tio.c_cflag |= PARENB | PARODD; break;
        case 'M': tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
        case 'S': tio.c_cflag |= PARENB | CMSPAR; break;
        default: break;
        }
    }
    // A UART here has no 1.5 stop bits; two are what a receiver set for 1.5 accepts.
    if (line.stopBitsTimesTen) {
        if (*line.stopBitsTimesTen == 10)
            tio.c_cflag &= ~CSTOPB;
        else
            tio.c_cflag |= CSTOPB;
    }
    // A parsed mode starts without flow control; the handshake mode adds it.
    tio.c_cflag &= ~CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (line.xonXoff.value_or(false))
        tio.c_iflag |= IXON | IXOFF;
    if (line.ctsFlow.value_or(false) || line.rtsHandshake)
        tio.c_cflag |= CRTSCTS;
}

class PosixSerialDevice final : public SerialDevice {
public:
    // saved: the terminal settings the device had before we opened it, given
    // back at close; nullopt for a device that is no terminal.
    PosixSerialDevice(int fd, std::optional<termios> saved) : fd_(fd), saved_(saved) {}
    ~PosixSerialDevice() override
    {
        if (fd_ >= 0)
            Close();
    }

    bool Configure(const LineSettings& line, int32_t handshake, int32_t inputQueue) override
    {
        (void)inputQueue;  // the kernel keeps its own XON/XOFF thresholds
        termios tio {};
        if (::tcgetattr(fd_, &tio) != 0)
            return false;
        ApplyLineSettings(tio, line);
        switch (handshake) {
        case 0: case 1: tio.c_cflag &= ~CRTSCTS; break;
        case 2: tio.c_cflag |= CRTSCTS; break;
        case 3:
            tio.c_iflag |= IXON | IXOFF;
            tio.c_cc[VSTART] = 0x11;
            tio.c_cc[VSTOP] = 0x13;
            break;
        default: break;
        }
        if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
            return false;
        if (line.baud && !SetArbitrarySpeed(fd_, *line.baud))
            return false;
        // RTS follows the handshake mode; DTR only when the mode string names it.
        if (handshake == 0)
            SetLine(OutputLine::Rts, false);
        else if (handshake == 1)
            SetLine(OutputLine::Rts, true);
        if (line.rtsOn && handshake != 2)
            SetLine(OutputLine::Rts, *line.rtsOn);
        if (line.dtrOn)
            SetLine(OutputLine::Dtr, *line.dtrOn);
        return true;
    }

    bool Write(const uint8_t* data, int32_t count, int timeoutMs) override
    {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        int32_t done = 0;
        while (done < count) {
            const ssize_t n = ::write(fd_, data + done, static_cast<size_t>(count - done));
            if (n > 0) {
                done += static_cast<int32_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (!WaitFor(fd_, POLLOUT, deadline))
                return false;
        }
        return true;
    }

    bool Read(uint8_t* data, int32_t count, int totalTimeoutMs, int intervalTimeoutMs) override
    {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(totalTimeoutMs);
        int32_t done = 0;
        while (done < count) {
            // After the first byte, a silence of intervalTimeoutMs also ends the read.
            Clock::time_point until = deadline;
            if (done > 0)
                until = std::min(deadline, Clock::now() + std::chrono::milliseconds(intervalTimeoutMs));
            if (!WaitFor(fd_, POLLIN, until))
                return true;
            const ssize_t n = ::read(fd_, data + done, static_cast<size_t>(count - done));
            if (n > 0)
                done += static_cast<int32_t>(n);
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                return false;
        }
        return true;
    }

    int32_t InputCount() override
    {
        int waiting = 0;
        return ::ioctl(fd_, FIONREAD, &waiting) == 0 ? waiting : 0;
    }

    bool SetLine(OutputLine line, bool on) override
    {
        if (line == OutputLine::Break)
            return ::ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) == 0;
        int bits = line == OutputLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
        return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
    }

    int32_t ModemStatus() override
    {
        int bits = 0;
        if (::ioctl(fd_, TIOCMGET, &bits) != 0)
            return -1;
        return ((bits & TIOCM_CTS) ? ModemCts : 0) | ((bits & TIOCM_DSR) ? ModemDsr : 0) |
               ((bits & TIOCM_RNG) ? ModemRi : 0) | ((bits & TIOCM_CAR) ? ModemDcd : 0);
    }

    int32_t InputDescriptor() override { return fd_; }

    // TIOCMIWAIT: UART and USB serial drivers have it; a pseudo-terminal
    // answers ENOTTY or EINVAL at once.
    int32_t WaitLineChange() override
    {
        const unsigned long lines = TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG;
        if (::ioctl(fd_, TIOCMIWAIT, lines) == 0)
            return 1;
        return errno == EINTR ? 0 : -1;
    }

    bool SetXonXoffChars(uint8_t xon, uint8_t xoff) override
    {
        termios tio {};
        if (::tcgetattr(fd_, &tio) != 0)
            return false;
        tio.c_cc[VSTART] = xon;
        tio.c_cc[VSTOP] = xoff;
        return ::tcsetattr(fd_, TCSANOW, &tio) == 0;
    }

    // A UART driver's close waits up to its closing_wait (30 s by default)
    // for queued output to drain, and with CTS low it never drains: discard
    // it first. Then the device gets back what it had before we opened it,
    // so a terminal named as the port keeps its echo and line editing.
    bool Close() override
    {
        const int fd = fd_;
        fd_ = -1;
        if (saved_) {
            ::tcflush(fd, TCOFLUSH);
            ::tcsetattr(fd, TCSANOW, &*saved_);
            ::ioctl(fd, TIOCNXCL);
        }
        return ::close(fd) == 0;
    }

private:
    int fd_;
    std::optional<termios> saved_;
};

// Raw bytes in and out, as the port is used for data and line control only.
void MakeRaw(int fd)
{
    termios tio {};
    if (::tcgetattr(fd, &tio) != 0)
        return;
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &tio);
}

}  // namespace

std::unique_ptr<SerialDevice> OpenSystemDevice(const std::string& path)
{
    // Checked before the open, which alone would already raise DTR and RTS.
    if (IsSystemConsole(path, SystemConsolePaths(ReadConsoleActiveList())))
        return nullptr;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    // Both locks only keep out opens that come after ours: TIOCEXCL makes
    // later open() calls of the tty fail (except for root); flock keeps out
    // every later user that takes the same lock, root and this process
    // included. A program that had the port open before us keeps it.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::optional<termios> saved;
    termios tio {};
    if (::tcgetattr(fd, &tio) == 0) {
        saved = tio;
        ::ioctl(fd, TIOCEXCL);
        MakeRaw(fd);
    }
    return std::make_unique<PosixSerialDevice>(fd, saved);
}
