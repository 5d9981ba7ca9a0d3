#include "config/slot_folder.h"
#include "tallowick_version.h"
#include "ui/main_window.h"
#include "ui/main_window_layout.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstring>

namespace {

// --help and --version answer before the application object exists, so that
// they need no display.
std::optional<int> answerCommandLine(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("tallowick " TALLOWICK_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            const QString folder = tallowick::slotFolder();
            std::printf("Usage: tallowick [--help] [--version]\n"
                        "Tests Modbus devices by hand: fifteen command lines sent over a serial\n"
                        "port (Modbus RTU) or TCP, every frame logged. tallowick-run sends the\n"
                        "lines of a saved configuration without a window.\n"
                        "\n"
                        "Configuration slots (config1.ini ... config5.ini): %s\n",
                        folder.toLocal8Bit().constData());
            return 0;
        }
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    // Each window program names its place when it is built (TALLOWICK_SLOT_PLACE,
    // see src/CMakeLists.txt); there is no default, so a build that loses it
    // fails to compile.
    tallowick::setSlotPlace(tallowick::SlotPlace::TALLOWICK_SLOT_PLACE);
    if (const auto status = answerCommandLine(argc, argv))
        return *status;
    QApplication app(argc, argv);
    // The window class (the second part of WM_CLASS on X11) and the desktop
    // entry (tallowick.desktop, or the package's, named by the application id),
    // by which the desktop groups the windows under the launcher's icon.
    QApplication::setApplicationName(QStringLiteral("Tallowick"));
    QApplication::setApplicationVersion(QStringLiteral(TALLOWICK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(TALLOWICK_DESKTOP_FILE_NAME));
    QApplication::setWindowIcon(tallowick::programIcon());
    tallowick::MainWindow window;
    window.show();
    return app.exec();
}
