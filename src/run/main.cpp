// tallowick-run: the command lines of a configuration file, sent without a
// window, for benches and nightly jobs that read the outcome from the exit
// status. It needs no display.
#include "config/config_io.h"
#include "run/headless_run.h"
#include "run/run_options.h"
#include "run/slot_inputs.h"
#include "platform/line_writer.h"
#include "platform/stop_signals.h"
#include "tallowick_version.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

using namespace tallowick;

int main(int argc, char *argv[])
{
    StopSignals::block();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tallowick-run"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALLOWICK_VERSION));

    const ParsedCommandLine parsed = parseRunCommandLine(QCoreApplication::arguments().mid(1));
    if (const auto *usage = std::get_if<UsageError>(&parsed)) {
        writeUtf8(stderr, QStringLiteral("tallowick-run: ") + usage->text +
                          QStringLiteral("\nTry 'tallowick-run --help'.\n"));
        return HeadlessRun::Refused;
    }
    if (const auto *request = std::get_if<RunRequest>(&parsed)) {
        writeUtf8(stdout, *request == RunRequest::Help
                          ? runUsage()
                          : QStringLiteral("tallowick-run " TALLOWICK_VERSION "\n"));
        return 0;
    }
    const RunOptions &options = std::get<RunOptions>(parsed);

    const ConfigRead read = readConfigFile(options.slotFile);
    const auto *values = std::get_if<QStringList>(&read);
    if (!values) {
        // As the window says it when a slot cannot be loaded.
        writeUtf8(stderr, QStringLiteral("Failed Msg: Load Save File ") +
                          QFileInfo(options.slotFile).fileName() + QStringLiteral(" Failed.\n"));
        return HeadlessRun::Refused;
    }
    const SlotInputs inputs(*values, options);
    StopSignals stopSignals;
    HeadlessRun run(inputs, options.serialPort.has_value(), options.singleSend(), stdout, stderr);
    QObject::connect(&stopSignals, &StopSignals::received, &run,
                     [&run](int signal) { run.interrupt(128 + signal); });
    QObject::connect(&run, &HeadlessRun::finished, &app,
                     [](int status) { QCoreApplication::exit(status); });
    QTimer::singleShot(0, &run, &HeadlessRun::start);
    return QCoreApplication::exec();
}
