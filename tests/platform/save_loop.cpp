// The main window saving without a pause, for tst_atomic_save, which kills
// it at random moments:
//
//   save_loop FOLDER EXPORT_PATH LOG_PATH FIRST_GENERATION
//
// For each generation g from FIRST_GENERATION on it fills the 39 boxes with
// the values of g, clicks "Save setting", exports to EXPORT_PATH, logs
// "generation g", saves the log to LOG_PATH and prints "G g". A failure box
// ends it with exit code 3.
#include "config/config_format.h"
#include "ui/dialogs.h"
#include "ui/log_panel.h"
#include "ui/main_window.h"
#include "ui/main_window_layout.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>

using namespace tallowick;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 5)
        return 2;
    QString nextPath;
    dialogs::setFileHandler([&](QWidget *, const FileDialogRequest &) { return nextPath; });
    dialogs::setMessageHandler([](QWidget *, const UserMessage &request) {
        if (request.text.contains(QLatin1String("ailed")) &&
            !request.text.startsWith(QLatin1String("Load Save File"))) {
            std::fprintf(stderr, "%s\n", qPrintable(request.text));
            std::exit(3);
        }
        return MessageAnswer::Ok;
    });
    MainWindow window(QString::fromLocal8Bit(argv[1]));
    Controls &ui = window.controls();
    const auto boxes = configBoxes(&window);
    for (long long g = std::atoll(argv[4]);; ++g) {
        // Lengths vary, so that no generation's file is a prefix of another's.
        for (int i = 0; i < configValueCount; ++i)
            boxes[i]->setText(QStringLiteral("v%1-%2-").arg(i).arg(g).repeated(1 + (g + i) % 5));
        ui.save->click();
        nextPath = QString::fromLocal8Bit(argv[2]);
        ui.Command4->click();
        window.log().addEntry(QStringLiteral("generation %1").arg(g), 2);
        nextPath = QString::fromLocal8Bit(argv[3]);
        ui.savelog->click();
        std::printf("G %lld\n", g);
        std::fflush(stdout);
    }
}
