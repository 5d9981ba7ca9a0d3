// The start-up baseline: a minimal Qt Widgets program with a window of the
// main window's size that shows one caption in the program's Chinese face, so
// that finding and loading that font counts on both sides.
#include "shown_reporter.h"
#include "ui/fonts.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(1006, 644);
    QLabel caption(QStringLiteral("保持連線"), &window);
    caption.setFont(tallowick::mingFont(11.25));
    caption.move(8, 8);
    tallowick::bench::ShownReporter reporter(&window);
    window.show();
    return app.exec();
}
