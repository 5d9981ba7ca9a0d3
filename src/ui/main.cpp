#include "ui/main_window.h"
#include "ui/main_window_layout.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The window class (the second part of WM_CLASS on X11) and the desktop
    // entry tallowick.desktop, by which the desktop groups the windows under
    // the launcher's icon.
    QApplication::setApplicationName(QStringLiteral("Tallowick"));
    QApplication::setDesktopFileName(QStringLiteral("tallowick"));
    QApplication::setWindowIcon(tallowick::programIcon());
    tallowick::MainWindow window;
    window.show();
    return app.exec();
}
