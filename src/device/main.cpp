// tallowick-device: a Modbus slave from a register map, on a serial line, RTU
// over TCP or Modbus TCP, that misbehaves on purpose by rule, for testing the
// masters that drive real devices. It needs no display.
#include "device/device_options.h"
#include "device/device_server.h"
#include "platform/line_writer.h"
#include "platform/stop_signals.h"
#include "tallowick_version.h"

#include <QCoreApplication>
#include <QTimer>

using namespace tallowick;

int main(int argc, char *argv[])
{
    return commandLineProgram(
        argc, argv, parseDeviceCommandLine, QStringLiteral("tallowick-device"), deviceUsage(),
        QStringLiteral(TALLOWICK_VERSION), [](const DeviceOptions &given) {
            DeviceServer device(given);
            if (const auto refused = device.open()) {
                writeUtf8(stderr, QStringLiteral("tallowick-device: ") + *refused + u'\n');
                return exit_status::refused;
            }
            StopSignals stopSignals;
            QObject::connect(&stopSignals, &StopSignals::received, &device, [&device](int signal) {
                device.finish(exit_status::onSignal(signal));
            });
            QObject::connect(&device, &DeviceServer::finished, qApp,
                             [](int status) { QCoreApplication::exit(status); });
            QTimer::singleShot(0, &device, &DeviceServer::start);
            return QCoreApplication::exec();
        });
}
