// tallowick-run: the command lines of a configuration file, sent without a
// window, for benches and nightly jobs that read the outcome from the exit
// status. It needs no display.
#include "config/config_io.h"
#include "run/headless_run.h"
#include "run/run_options.h"
#include "run/slot_inputs.h"
#include "run/stop_signals.h"
#include "tallowick_version.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

using namespace tallowick;

namespace {

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char *argv[])
{
    StopSignals::block();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tallowick-run"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALLOWICK_VERSION));

    const ParsedCommandLine parsed = parseRunCommandLine(QCoreApplication::arguments().mid(1));
    if (const auto *usage = std::get_if<UsageError>(&parsed)) {
        print(stderr, QStringLiteral("tallowick-run: ") + usage->text +
                          QStringLiteral("\nTry 'tallowick-run --help'.\n"));
        return HeadlessRun::Refused;
    }
    if (const auto *request = std::get_if<RunRequest>(&parsed)) {
        print(stdout, *request == RunRequest::Help
                          ? runUsage()
                          : QStringLiteral("tallowick-run " TALLOWICK_VERSION "\n"));
        return 0;
    }
    const RunOptions &options = std::get<RunOptions>(parsed);

    const std::optional<QStringList> values = readConfigFile(options.slotFile);
    if (!values) {
        // As the window says it when a slot cannot be loaded.
        print(stderr, QStringLiteral("Failed Msg: Load Save File ") +
                          QFileInfo(options.slotFile).fileName() + QStringLiteral(" Failed.\n"));
        return HeadlessRun::Refused;
    }
    const SlotInputs inputs(*values, options);
    StopSignals stopSignals;
    HeadlessRun run(inputs, options.serialPort.has_value(), options.sendLine.has_value(), stdout,
                    stderr);
    QObject::connect(&stopSignals, &StopSignals::received, &run,
                     [&run](int signal) { run.interrupt(128 + signal); });
    QObject::connect(&run, &HeadlessRun::finished, &app,
                     [](int status) { QCoreApplication::exit(status); });
    QTimer::singleShot(0, &run, &HeadlessRun::start);
    return QCoreApplication::exec();
}
