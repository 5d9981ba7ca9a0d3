#include "monitor/bus_monitor.h"

#include "monitor/pcap_format.h"
#include "platform/line_writer.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace tallowick {

namespace {

qint64 clockUs(clockid_t clock)
{
    timespec now{};
    ::clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}

std::optional<speed_t> speedOf(qint32 baud)
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
        if (rate == baud)
            return speed;
    }
    return std::nullopt;
}

// Raw reception with the given settings. The modem lines stay as opening the
// device set them: nothing here asserts or drops them.
std::optional<QString> setLine(int fd, const LineSettings &settings)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return QStringLiteral("not a serial port (%1)")
            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    const auto speed = speedOf(settings.baudRate);
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
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        return QStringLiteral("the port refuses the settings (%1)")
            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    return std::nullopt;
}

void writeBytes(std::FILE *stream, const QByteArray &bytes)
{
    if (!stream)
        return;
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

qint64 monotonicNowUs()
{
    return clockUs(CLOCK_MONOTONIC);
}

BusMonitor::BusMonitor(const MonitorOptions &options, QObject *parent)
    : QObject(parent), m_options(options), m_cutter(lineTiming(options.settings, options.gap)),
      m_pairing(options.timeout)
{
    connect(&m_silence, &OneShotTimer::timeout, this, &BusMonitor::silenceEnded);
    m_duration.setSingleShot(true);
    m_duration.setTimerType(Qt::PreciseTimer);
    connect(&m_duration, &QTimer::timeout, this, [this] { finish(Done); });
}

BusMonitor::~BusMonitor()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    for (std::FILE *file : {m_json, m_pcap}) {
        if (file && file != stdout)
            std::fclose(file);
    }
}

std::optional<QString> BusMonitor::open()
{
    const QByteArray path = QFile::encodeName(m_options.devicePath);
    m_fd = ::open(path.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return QStringLiteral("cannot open %1: %2")
            .arg(m_options.devicePath, QString::fromLocal8Bit(std::strerror(errno)));
    if (const auto refused = setLine(m_fd, m_options.settings))
        return m_options.devicePath + QStringLiteral(": ") + *refused;

    const auto openFile = [](const QString &name) -> std::FILE * {
        if (name == u"-")
            return stdout;
        return std::fopen(QFile::encodeName(name).constData(), "wb");
    };
    for (auto [name, file] :
         {std::pair{&m_options.pcapPath, &m_pcap}, std::pair{&m_options.jsonPath, &m_json}}) {
        if (name->isEmpty())
            continue;
        *file = openFile(*name);
        if (!*file) {
            const QString error = QStringLiteral("cannot write %1: %2")
                                      .arg(*name, QString::fromLocal8Bit(std::strerror(errno)));
            // Nothing written: a file made before this one goes again.
            if (m_pcap && m_pcap != stdout) {
                std::fclose(m_pcap);
                m_pcap = nullptr;
                QFile::remove(m_options.pcapPath);
            }
            return error;
        }
    }
    if (m_options.jsonPath != u"-")
        m_text = m_options.pcapPath == u"-" ? stderr : stdout;
    return std::nullopt;
}

void BusMonitor::start()
{
    writeBytes(m_pcap, pcapFileHeader());
    warnOfLatencyTimer();
    m_wallMinusMonotonicUs = clockUs(CLOCK_REALTIME) - clockUs(CLOCK_MONOTONIC);
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &BusMonitor::readable);
    if (m_options.duration)
        m_duration.start(*m_options.duration);
}

void BusMonitor::warnOfLatencyTimer()
{
    const QString device =
        QFileInfo(QFileInfo(m_options.devicePath).canonicalFilePath()).fileName();
    const QString sysfs = QStringLiteral("/sys/class/tty/%1/device/latency_timer").arg(device);
    QFile file(sysfs);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const int ms = file.readAll().trimmed().toInt();
    if (ms > 1)
        writeUtf8(stderr, QStringLiteral("tallowick-monitor: the adapter hands over bytes every "
                                         "%1 ms (its latency timer): frames closer than that "
                                         "arrive together and are split by their CRC. Lower it "
                                         "with: echo 1 | sudo tee %2\n")
                              .arg(ms)
                              .arg(sysfs));
}

void BusMonitor::readable()
{
    if (readPort())
        armSilence();
}

bool BusMonitor::readPort()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            const qint64 now = monotonicNowUs();
            handle(m_cutter.feed(QByteArrayView(buffer, n), now));
            if (m_finished)
                return false;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        // End of file or an error: the device is gone.
        writeUtf8(stderr, QStringLiteral("tallowick-monitor: %1 went away%2\n")
                              .arg(m_options.devicePath,
                                   n < 0 ? QStringLiteral(": ") +
                                               QString::fromLocal8Bit(std::strerror(errno))
                                         : QString()));
        finish(PortLost);
        return false;
    }
}

void BusMonitor::armSilence()
{
    std::optional<qint64> deadline = m_cutter.deadline();
    if (const auto timeout = m_pairing.deadline())
        deadline = std::min(deadline.value_or(*timeout), *timeout);
    if (deadline)
        m_silence.start(
            std::chrono::microseconds(std::max<qint64>(0, *deadline - monotonicNowUs())));
    else
        m_silence.stop();
}

void BusMonitor::silenceEnded()
{
    // Only a line with nothing new has been silent: bytes that came while
    // this wake-up was on its way are taken first, with their own silence.
    if (!readPort())
        return;
    const qint64 now = monotonicNowUs();
    handle(m_cutter.silence(now));
    if (m_finished)
        return;
    tellUnanswered(m_pairing.expire(now));
    armSilence();
}

void BusMonitor::tellUnanswered(const std::vector<Unanswered> &requests)
{
    if (!m_text)
        return;
    for (const Unanswered &request : requests)
        writeUtf8(m_text, unansweredTextLine(request) + u'\n');
}

void BusMonitor::handle(std::vector<CutFrame> frames)
{
    for (CutFrame &cut : frames) {
        if (m_finished)
            return;
        tellUnanswered(m_pairing.expire(cut.firstByteUs));
        const quint64 number = ++m_summary.frames;
        const Judgement judgement = m_pairing.judge(number, cut.bytes, cut.firstByteUs, cut.endUs);
        const MonitoredFrame frame =
            monitoredFrame(number, std::move(cut), m_wallMinusMonotonicUs, judgement);
        if (!frame.crcOk)
            ++m_summary.crcErrors;
        if (frame.cut.split)
            ++m_summary.split;
        if (frame.cut.joined)
            ++m_summary.joined;
        if (judgement.responseUs)
            m_summary.responseTimes.add(std::chrono::microseconds(*judgement.responseUs));
        if (m_text)
            writeUtf8(m_text, frameTextLine(frame) + u'\n');
        if (m_json)
            writeBytes(m_json, (frameJsonLine(frame) + u'\n').toUtf8());
        writeBytes(m_pcap, pcapRecord(frame.wallUs, frame.cut.bytes));
        if (m_options.frames && number >= *m_options.frames)
            finish(Done);
    }
}

void BusMonitor::finish(int status)
{
    if (m_finished)
        return;
    // A frame cut short by the end is still shown.
    if (status != Done || !m_options.frames || m_summary.frames < *m_options.frames)
        handle(m_cutter.flush());
    if (m_finished)
        return;
    m_finished = true;
    m_silence.stop();
    m_duration.stop();
    m_notifier.reset();
    tellUnanswered(m_pairing.expire(monotonicNowUs()));
    m_summary.pairing = m_pairing.counts();
    writeUtf8(m_text ? m_text : stderr, QStringLiteral("-- ") + summaryText(m_summary) + u'\n');
    if (m_json)
        writeBytes(m_json, (summaryJsonLine(m_summary) + u'\n').toUtf8());
    for (std::FILE **file : {&m_json, &m_pcap}) {
        if (*file && *file != stdout)
            std::fclose(*file);
        else if (*file)
            std::fflush(*file);
        *file = nullptr;
    }
    emit finished(status);
}

} // namespace tallowick

#include "moc_bus_monitor.cpp"
