// tallowick-device: a Modbus slave from a register map, on a serial line, RTU
// over TCP or Modbus TCP, that misbehaves on purpose by rule, for testing the
// masters that drive real devices. It needs no display.
#include "device/device_options.h"
#include "device/device_server.h"
#include "platform/command_line.h"
#include "tallowick_version.h"

using namespace tallowick;

int main(int argc, char *argv[])
{
    return commandLineProgram(argc, argv, parseDeviceCommandLine,
                              QStringLiteral("tallowick-device"), deviceUsage(),
                              QStringLiteral(TALLOWICK_VERSION), [](const DeviceOptions &given) {
                                  DeviceServer device(given);
                                  return serveUntilFinished(device);
                              });
}
