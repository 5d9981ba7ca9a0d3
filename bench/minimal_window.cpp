// The start-up baseline: a minimal Qt Widgets program that shows an empty
// window of the main window's size.
#include "shown_reporter.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(1006, 644);
    tallowick::bench::ShownReporter reporter(&window);
    window.show();
    return app.exec();
}
