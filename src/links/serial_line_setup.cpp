#include "links/serial_line_setup.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace tallowick {

namespace {

QString systemReason()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Raw reception with the given settings. The modem lines stay as opening the
// device set them: nothing here asserts or drops them.
std::optional<QString> setLine(int fd, const LineSettings &settings)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return QStringLiteral("not a serial port (%1)").arg(systemReason());
    const auto speed = lineSpeed(settings.baudRate);
    if (!speed)
        return QStringLiteral("the port does not take %1 baud").arg(settings.baudRate);
    // Bytes from before the watch began have no times to give them; once the
    // settings are in place, every byte counts.
    ::tcflush(fd, TCIFLUSH);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CREAD | CLOCAL;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= sizes[std::clamp(int(settings.dataBits), 5, 8) - 5];
    switch (settings.parity) {
    case QSerialPort::EvenParity:
        tio.c_cflag |= PARENB;
        break;
    case QSerialPort::OddParity:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case QSerialPort::MarkParity:
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case QSerialPort::SpaceParity:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (settings.stopBits != QSerialPort::OneStop)
        tio.c_cflag |= CSTOPB; // Linux has no 1.5: two, as the serial link does
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, *speed);
    ::cfsetospeed(&tio, *speed);
    // Some kernels refuse parity on a pty still at its default speed: the
    // speed goes first, on its own.
    termios speedOnly{};
    if (::tcgetattr(fd, &speedOnly) == 0) {
        ::cfsetispeed(&speedOnly, *speed);
        ::cfsetospeed(&speedOnly, *speed);
        ::tcsetattr(fd, TCSANOW, &speedOnly);
    }
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        return QStringLiteral("the port refuses the settings (%1)").arg(systemReason());
    return std::nullopt;
}

} // namespace

std::optional<speed_t> lineSpeed(qint32 baudRate)
{
    static constexpr std::pair<qint32, speed_t> speeds[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {3000000, B3000000}, {4000000, B4000000},
    };
    for (const auto &[rate, speed] : speeds) {
        if (rate == baudRate)
            return speed;
    }
    return std::nullopt;
}

std::variant<int, QString> openLine(const QString &path, const LineSettings &settings, LineUse use)
{
    const int access = use == LineUse::Listen ? O_RDONLY : O_RDWR;
    const int fd =
        ::open(QFile::encodeName(path).constData(), access | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("cannot open %1: %2").arg(path, systemReason());
    if (const auto refused = setLine(fd, settings)) {
        ::close(fd);
        return path + QStringLiteral(": ") + *refused;
    }
    return fd;
}

} // namespace tallowick
