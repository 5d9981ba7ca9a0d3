#include "ui/main_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tallowick"));
    QApplication::setDesktopFileName(QStringLiteral("tallowick"));
    tallowick::MainWindow window;
    window.show();
    return app.exec();
}
