#include "monitor/bus_monitor.h"

#include "links/serial_line_setup.h"
#include "monitor/pcap_format.h"
#include "platform/descriptor_io.h"
#include "platform/exit_status.h"
#include "platform/line_writer.h"
#include "platform/system_reason.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <ctime>
#include <unistd.h>

namespace tallowick {

BusMonitor::BusMonitor(const MonitorOptions &options, QObject *parent)
    : QObject(parent), m_options(options), m_cutter(lineTiming(options.settings, options.gap)),
      m_pairing(options.timeout)
{
    connect(&m_silence, &OneShotTimer::timeout, this, &BusMonitor::silenceEnded);
    m_duration.setSingleShot(true);
    m_duration.setTimerType(Qt::PreciseTimer);
    connect(&m_duration, &QTimer::timeout, this, [this] { finish(exit_status::done); });
}

BusMonitor::~BusMonitor()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<QString> BusMonitor::open()
{
    const auto line = openLine(m_options.devicePath, m_options.settings, LineUse::Listen);
    if (const auto *refused = std::get_if<QString>(&line))
        return *refused;
    m_fd = std::get<int>(line);

    m_standardOutput = OutputFile::standardOutput();
    m_standardError = OutputFile::standardError();
    const auto openFile = [this](const QString &name, std::unique_ptr<OutputFile> &file,
                                 OutputFile *&output) -> std::optional<QString> {
        if (name.isEmpty())
            return std::nullopt;
        if (name == u"-") {
            output = m_standardOutput.get();
            return std::nullopt;
        }
        const bool existed = QFileInfo::exists(name);
        auto opened = OutputFile::open(name);
        if (const auto *error = std::get_if<FileError>(&opened))
            return QStringLiteral("cannot write %1: %2").arg(name, error->reason);
        file = std::move(std::get<std::unique_ptr<OutputFile>>(opened));
        output = file.get();
        if (&file == &m_pcapFile)
            m_createdPcap = !existed;
        return std::nullopt;
    };
    if (auto error = openFile(m_options.pcapPath, m_pcapFile, m_pcap))
        return error;
    if (auto error = openFile(m_options.jsonPath, m_jsonFile, m_json)) {
        // Nothing written: a capture this run created goes again (never a
        // file or device that was there before).
        m_pcapFile.reset();
        if (m_createdPcap)
            QFile::remove(m_options.pcapPath);
        return error;
    }
    m_text = m_options.jsonPath == u"-" || m_options.pcapPath == u"-" ? m_standardError.get()
                                                                      : m_standardOutput.get();
    for (OutputFile *output : {m_standardOutput.get(), m_jsonFile.get(), m_pcapFile.get()}) {
        if (output)
            output->onFault([this](const OutputFault &fault) {
                m_outputFaults.note(fault);
                // Told from inside a write: the watch ends once that is over.
                QTimer::singleShot(0, this, [this] { finish(m_outputFaults.status()); });
            });
    }
    // Lines that go to /dev/null are not made: formatting them was much of
    // the monitor's time a frame.
    m_frameLines = !m_options.quiet && !m_text->writesNowhere();
    return std::nullopt;
}

void BusMonitor::flushOutputs()
{
    for (OutputFile *output : {m_text, m_json, m_pcap}) {
        if (output)
            output->flush();
    }
}

void BusMonitor::start()
{
    if (m_pcap) {
        m_pcap->write(pcapFileHeader());
        m_pcap->flush();
    }
    warnOfLatencyTimer();
    m_wallMinusMonotonicUs = wallNowUs() - monotonicNowUs();
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &BusMonitor::readable);
    if (m_options.duration)
        m_duration.start(*m_options.duration);
    writeUtf8(stderr, monitorStartLine(m_options) + u'\n');
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
    // Nothing more is read once the watch has ended on a frame of it.
    const DescriptorRead read = readWhatIsThere(m_fd, [this](QByteArrayView bytes) {
        handle(m_cutter.feed(bytes, monotonicNowUs()));
        return !m_finished;
    });
    if (m_finished)
        return false;
    if (!read.gone)
        return true;
    // End of file or an error: the device is gone.
    writeUtf8(stderr, QStringLiteral("tallowick-monitor: %1 went away%2\n")
                          .arg(m_options.devicePath,
                               read.error != 0 ? QStringLiteral(": ") + systemReason(read.error)
                                               : QString()));
    finish(exit_status::failureSeen);
    return false;
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
    if (!m_frameLines)
        return;
    for (const Unanswered &request : requests)
        m_text->writeText(unansweredTextLine(request) + u'\n');
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
        if (m_frameLines)
            m_text->writeText(frameTextLine(frame) + u'\n');
        if (m_json)
            m_json->writeText(frameJsonLine(frame) + u'\n');
        if (m_pcap)
            m_pcap->write(pcapRecord(frame.wallUs, frame.cut.bytes));
        if (m_options.frames && number >= *m_options.frames)
            finish(exit_status::done);
    }
    // Each frame reaches its readers as it ends.
    if (!m_finished)
        flushOutputs();
}

void BusMonitor::finish(int status)
{
    if (m_finished)
        return;
    // A frame cut short by the end is still shown.
    if (status != exit_status::done || !m_options.frames || m_summary.frames < *m_options.frames)
        handle(m_cutter.flush());
    if (m_finished)
        return;
    m_finished = true;
    m_silence.stop();
    m_duration.stop();
    m_notifier.reset();
    tellUnanswered(m_pairing.expire(monotonicNowUs()));
    m_summary.pairing = m_pairing.counts();
    m_text->writeText(QStringLiteral("-- ") + summaryText(m_summary) + u'\n');
    if (m_json)
        m_json->writeText(summaryJsonLine(m_summary) + u'\n');
    // The status of an output that failed, also in closing, is the program's.
    for (OutputFile *output : {m_jsonFile.get(), m_pcapFile.get(), m_standardOutput.get()}) {
        if (output)
            output->close();
    }
    m_standardError->flush();
    m_text = m_json = m_pcap = nullptr;
    emit finished(m_outputFaults.exitStatus(status));
}

} // namespace tallowick

#include "moc_bus_monitor.cpp"
