#pragma once

// The device map's file: CSV with a header row naming the columns table,
// address, type and value, and optionally order, access and name, in any
// order and any case. One row a line:
//   holding,100-107,f32,1.5,CDAB,rw,flow   four floats of 1.5, words low first
// table coil, discrete, holding or input; address one place or a range
// (each value of the type taking as many places as it is wide: a range holds
// a whole number of values, all of the row's value); type bit (coil and
// discrete only), u16, i16, u32, i32, f32, u64, i64, f64, str:N (holding and
// input only); value as valueBytes() reads it; order ABCD (the default),
// CDAB, BADC or DCBA, for number types; access rw (the default) or r; name a
// label.

#include "device/device_map.h"
#include "platform/atomic_save.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <variant>

namespace tallowick {

// Why a map was refused, whole: "pump.csv:7: type: "f16" is not a type (...)".
struct MapError
{
    QString text;
};

using MapRead = std::variant<DeviceMap, MapError>;

// `fileName` names the file in the refusal.
MapRead parseMap(QByteArrayView bytes, const QString &fileName);
MapRead readMap(const QString &path);

// The map in the same format, with the values it holds now: a row whose
// values are no longer all the same is written one value a row.
QByteArray mapCsv(const DeviceMap &map);
std::optional<FileError> saveMap(const QString &path, const DeviceMap &map);

} // namespace tallowick
