// The program's main window saving without a pause, for the test that kills
// it at random moments (tst_file_survival):
//
//   save_loop FOLDER EXPORT_PATH LOG_PATH FIRST_GENERATION
//
// starts a main window with FOLDER as its program folder and then, for each
// generation g from FIRST_GENERATION on, fills the 39 configuration boxes with
// values of generation g, clicks "Save setting", exports to EXPORT_PATH, adds
// the log entry "generation g" and saves the log to LOG_PATH, answering the
// file dialogs itself. After each generation it prints "G g". A failure box
// ends it with exit code 3.
#include "config/config_io.h"
#include "ui/main_window_layout.h"
#include "ui/log_panel.h"
#include "ui/dialogs.h"
#include "ui/main_window.h"

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
    if (argc != 5) {
        std::fprintf(stderr, "usage: save_loop FOLDER EXPORT_PATH LOG_PATH FIRST_GENERATION\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString exportPath = QString::fromLocal8Bit(argv[2]);
    const QString logPath = QString::fromLocal8Bit(argv[3]);
    const long long first = std::atoll(argv[4]);

    QString nextPath;
    dialogs::setFileHandler([&](QWidget *, const FileDialogRequest &) { return nextPath; });
    dialogs::setMessageHandler([](QWidget *, const MessageRequest &request) {
        if (request.text.contains(QLatin1String("ailed")) &&
            !request.text.startsWith(QLatin1String("Load Save File"))) {
            std::fprintf(stderr, "%s\n", qPrintable(request.text));
            std::exit(3);
        }
        return MessageAnswer::Ok;
    });

    MainWindow window(folder);
    Controls &ui = window.controls();
    const auto boxes = configBoxes(ui);
    for (long long g = first;; ++g) {
        // Values of varying length, so that a file of one generation is never
        // a prefix or a tail of another's.
        for (int i = 0; i < configValueCount; ++i)
            boxes[i]->setText(QStringLiteral("v%1-%2-").arg(i).arg(g).repeated(1 + (g + i) % 5));
        ui.save->click();
        nextPath = exportPath;
        ui.Command4->click();
        window.log().addEntry(QStringLiteral("generation %1").arg(g), 2);
        nextPath = logPath;
        ui.savelog->click();
        std::printf("G %lld\n", g);
        std::fflush(stdout);
    }
}
