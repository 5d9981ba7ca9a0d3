#pragma once

// The classic pcap capture format, which Wireshark and tshark read: a global
// header, then one record per frame. Written little-endian; readers take
// either byte order from the magic number.

#include <QByteArray>
#include <QByteArrayView>

namespace tallowick {

// User link type 0 (DLT_USER0): Wireshark decodes it as Modbus RTU once the
// user maps it to the mbrtu dissector.
inline constexpr quint32 pcapLinkTypeUser0 = 147;
inline constexpr quint32 pcapSnapLength = 65535;

// Magic 0xa1b2c3d4 (microsecond stamps), version 2.4, snap length, link type.
QByteArray pcapFileHeader();

// One frame stamped with wallUs, microseconds since the epoch.
QByteArray pcapRecord(qint64 wallUs, QByteArrayView frame);

} // namespace tallowick
