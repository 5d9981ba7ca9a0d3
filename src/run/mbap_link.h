#pragma once

#include "frames/mbap.h"
#include "links/link.h"

#include <QString>

namespace tallowick {

// Modbus TCP on a TCP link, for the runner's --mbap: each frame the engine
// hands on (unit id first, no CRC) goes out behind an MBAP header, and each
// reply the header frames comes back to the engine as an RTU frame would, its
// CRC added, so that the engine's reply checks and log serve both framings.
// Whether the reply's header answered the request is kept for the records.
class MbapLink : public Link
{
    Q_OBJECT
public:
    enum class Verdict {
        None,      // no reply framed since the last request
        Answered,  // the header answered the request
        BadHeader, // wrong transaction id, protocol or unit, or a length no frame has
        CutShort,  // the link closed on part of a frame
    };

    explicit MbapLink(Link &tcp, QObject *parent = nullptr);

    LinkError open(const LinkTarget &target) override;
    bool write(const QByteArray &frame) override;
    QByteArray readAll() override;
    void close() override;
    int state() const override { return m_tcp.state(); }

    // What the reply to the last request was found to be; None again after.
    Verdict takeVerdict();
    QString badHeaderReason() const { return m_reason; }

private:
    void takeBytes();

    Link &m_tcp;
    MbapReader m_reader;
    QByteArray m_reply;
    quint16 m_transactionId = 0;
    quint8 m_unit = 0;
    Verdict m_verdict = Verdict::None;
    QString m_reason;
};

} // namespace tallowick
