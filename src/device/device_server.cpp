#include "device/device_server.h"

#include "device/map_file.h"
#include "device/replay_book.h"
#include "device/serial_slave.h"
#include "device/tcp_slave.h"
#include "links/line_timing.h"
#include "links/serial_line_setup.h"
#include "platform/exit_status.h"
#include "platform/line_writer.h"
#include "platform/precise_timer.h"

#include <QFile>
#include <QFileInfo>

#include <random>

namespace tallowick {

DeviceServer::DeviceServer(const DeviceOptions &options, QObject *parent)
    : QObject(parent), m_options(options)
{
    m_duration.setSingleShot(true);
    m_duration.setTimerType(Qt::PreciseTimer);
    connect(&m_duration, &QTimer::timeout, this, [this] { finish(exit_status::done); });
}

DeviceServer::~DeviceServer() = default;

std::optional<QString> DeviceServer::open()
{
    DeviceMap map;
    if (m_options.mapPath != u"-") {
        MapRead read = readMap(m_options.mapPath);
        if (const auto *refused = std::get_if<MapError>(&read))
            return refused->text;
        map = std::get<DeviceMap>(std::move(read));
    }
    std::optional<ReplayBook> replay;
    if (!m_options.replayPath.isEmpty()) {
        auto read = readReplay(m_options.replayPath);
        if (const auto *refused = std::get_if<MapError>(&read))
            return refused->text;
        replay = std::get<ReplayBook>(std::move(read));
    }
    m_seed = m_options.seed ? *m_options.seed : std::random_device()();
    DeviceCore::Setup setup;
    setup.units = m_options.units;
    setup.delay = m_options.delay;
    setup.withMap = m_options.mapPath != u"-";
    m_core = std::make_unique<DeviceCore>(std::move(map), setup,
                                          FaultRules(m_options.faults, m_seed), std::move(replay));
    if (!m_options.savePath.isEmpty()) {
        if (const auto error = checkWritable(m_options.savePath))
            return QStringLiteral("cannot write %1: %2").arg(m_options.savePath, error->reason);
    }
    if (!m_options.serialPath.isEmpty()) {
        const auto line = openLine(m_options.serialPath, m_options.settings, LineUse::Answer);
        if (const auto *refused = std::get_if<QString>(&line))
            return *refused;
        m_serial = std::make_unique<SerialSlave>(std::get<int>(line), m_options.serialPath,
                                                 lineTiming(m_options.settings), *this);
        connect(m_serial.get(), &SerialSlave::lost, this, [this](const QString &reason) {
            writeUtf8(stderr, QStringLiteral("tallowick-device: ") + reason + u'\n');
            // Told from inside the line's read: the device ends once that is over.
            QTimer::singleShot(0, this, [this] { finish(exit_status::failureSeen); });
        });
    }
    for (const auto &[address, slave, kind] :
         {std::tuple{&m_options.tcp, &m_tcp, LinkKind::RtuOverTcp},
          std::tuple{&m_options.mbap, &m_mbap, LinkKind::Mbap}}) {
        if (!*address)
            continue;
        *slave = std::make_unique<TcpSlave>(kind, *this);
        if (auto refused = (*slave)->listen(**address))
            return refused;
    }
    return openOutputs();
}

std::optional<QString> DeviceServer::openOutputs()
{
    m_standardOutput = OutputFile::standardOutput();
    if (m_options.jsonPath == u"-") {
        m_json = m_standardOutput.get();
    } else {
        m_text = m_standardOutput.get();
        if (!m_options.jsonPath.isEmpty()) {
            auto opened = OutputFile::open(m_options.jsonPath);
            if (const auto *error = std::get_if<FileError>(&opened))
                return QStringLiteral("cannot write %1: %2").arg(m_options.jsonPath, error->reason);
            m_jsonFile = std::move(std::get<std::unique_ptr<OutputFile>>(opened));
            m_json = m_jsonFile.get();
        }
    }
    for (OutputFile *output : {m_standardOutput.get(), m_jsonFile.get()}) {
        if (output)
            output->onFault([this](const OutputFault &fault) {
                m_outputFaults.note(fault);
                // Told from inside a write: the device ends once that is over.
                QTimer::singleShot(0, this, [this] { finish(m_outputFaults.status()); });
            });
    }
    if (m_text && m_text->writesNowhere())
        m_text = nullptr;
    return std::nullopt;
}

QString DeviceServer::startLine() const
{
    QStringList units;
    for (const NumberSpan &span : m_options.units)
        units += span.first == span.last ? QString::number(span.first)
                                         : QStringLiteral("%1-%2").arg(span.first).arg(span.last);
    QStringList links;
    if (m_serial)
        links +=
            QStringLiteral("%1 (%2)").arg(m_serial->name(), lineSettingsText(m_options.settings));
    for (const TcpSlave *slave : {m_tcp.get(), m_mbap.get()}) {
        if (slave)
            links += slave->name();
    }
    QString line =
        QStringLiteral("tallowick-device: serving %1 as unit%2 %3 on %4")
            .arg(m_options.mapPath == u"-" ? QStringLiteral("no map") : m_options.mapPath,
                 units.size() > 1 || units.first().contains(u'-') ? QStringLiteral("s") : QString(),
                 units.join(u','), links.join(QStringLiteral(", ")));
    const bool draws = std::any_of(m_options.faults.begin(), m_options.faults.end(),
                                   [](const FaultRule &rule) { return rule.probability; });
    if (draws)
        line += QStringLiteral("; seed %1").arg(m_seed);
    return line;
}

void DeviceServer::start()
{
    m_wallMinusMonotonicUs = wallNowUs() - monotonicNowUs();
    if (m_serial)
        m_serial->start();
    if (m_options.duration)
        m_duration.start(*m_options.duration);
    writeUtf8(stderr, startLine() + u'\n');
}

ServedRequest DeviceServer::serve(LinkKind kind, QByteArrayView request)
{
    return m_core->serve(kind, request);
}

ServedRequest DeviceServer::refuse(LinkKind kind, Result result, QByteArrayView bytes)
{
    return m_core->refuse(kind, result, bytes);
}

void DeviceServer::done(const ServedRequest &served, const QString &link, const QString &peer,
                        qint64 endUs, std::optional<qint64> responseUs)
{
    if (m_finished)
        return;
    const DeviceRecord record{served, link, peer, endUs + m_wallMinusMonotonicUs, responseUs};
    m_tally.add(record);
    if (m_text)
        m_text->writeText(deviceTextLine(record, m_core->rules()) + u'\n');
    if (m_json)
        m_json->write(deviceJsonLine(record, m_core->rules()));
    // Each record reaches its reader as its request is done.
    for (OutputFile *output : {m_text, m_json}) {
        if (output)
            output->flush();
    }
    if (m_options.requests && m_tally.requests() >= *m_options.requests)
        QTimer::singleShot(0, this, [this] { finish(exit_status::done); });
}

OneShotTimer *DeviceServer::newTimer(QObject *parent)
{
    return new PreciseTimer(parent);
}

qint64 DeviceServer::nowUs() const
{
    return monotonicNowUs();
}

void DeviceServer::finish(int status)
{
    if (m_finished)
        return;
    // No link answers any more; what waited for its reply is recorded unsent.
    if (m_serial)
        m_serial->stop();
    for (TcpSlave *slave : {m_tcp.get(), m_mbap.get()}) {
        if (slave)
            slave->stop();
    }
    m_serial.reset();
    m_tcp.reset();
    m_mbap.reset();
    m_finished = true;
    m_duration.stop();
    const bool replays = m_core && m_core->replays();
    if (m_core) {
        if (m_text)
            m_text->writeText(QStringLiteral("-- ") +
                              m_tally.summaryText(m_core->rules(), replays) + u'\n');
        if (m_json)
            m_json->write(m_tally.summaryJsonLine(m_core->rules(), replays));
    }
    for (OutputFile *output : {m_jsonFile.get(), m_standardOutput.get()}) {
        if (output)
            output->close();
    }
    int exitStatus = m_outputFaults.exitStatus(status);
    if (m_core && !m_options.savePath.isEmpty()) {
        if (const auto error = saveMap(m_options.savePath, m_core->map())) {
            writeUtf8(stderr, QStringLiteral("tallowick-device: cannot write %1: %2\n")
                                  .arg(m_options.savePath, error->reason));
            if (exitStatus != exit_status::readerGone)
                exitStatus = exit_status::outputNotWritten;
        }
    }
    m_text = m_json = nullptr;
    emit finished(exitStatus);
}

} // namespace tallowick

#include "moc_device_server.cpp"
