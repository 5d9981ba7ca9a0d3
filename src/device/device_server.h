#pragma once

// tallowick-device assembled: the map, the rules and the recording it
// answers from, its links, its records, and its end.

#include "device/device_options.h"
#include "device/device_records.h"
#include "device/slave_host.h"
#include "platform/output_file.h"

#include <QObject>
#include <QTimer>
#include <memory>

namespace tallowick {

class SerialSlave;
class TcpSlave;

class DeviceServer : public QObject, public SlaveHost
{
    Q_OBJECT
public:
    explicit DeviceServer(const DeviceOptions &options, QObject *parent = nullptr);
    ~DeviceServer() override;

    // Reads the map, the recording and opens every link and output; on a
    // refusal the reason, and nothing listens or is written.
    std::optional<QString> open();
    // The line that names the links; the waits for the end begin.
    void start();
    // The records and --save complete, the outputs closed.
    void finish(int status);

    ServedRequest serve(LinkKind kind, QByteArrayView request) override;
    ServedRequest refuse(LinkKind kind, Result result, QByteArrayView bytes) override;
    void done(const ServedRequest &served, const QString &link, const QString &peer, qint64 endUs,
              std::optional<qint64> responseUs) override;
    OneShotTimer *newTimer(QObject *parent) override;
    qint64 nowUs() const override;

signals:
    void finished(int status);

private:
    std::optional<QString> openOutputs();
    QString startLine() const;

    DeviceOptions m_options;
    quint64 m_seed = 0;
    std::unique_ptr<DeviceCore> m_core;
    std::unique_ptr<SerialSlave> m_serial;
    std::unique_ptr<TcpSlave> m_tcp;
    std::unique_ptr<TcpSlave> m_mbap;
    DeviceTally m_tally;
    std::unique_ptr<OutputFile> m_standardOutput;
    std::unique_ptr<OutputFile> m_jsonFile;
    OutputFile *m_text = nullptr; // none with --json -
    OutputFile *m_json = nullptr;
    OutputFaults m_outputFaults{QStringLiteral("tallowick-device")};
    qint64 m_wallMinusMonotonicUs = 0;
    QTimer m_duration;
    bool m_finished = false;
};

} // namespace tallowick
