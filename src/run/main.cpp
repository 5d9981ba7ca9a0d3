// tallowick-run: the command lines of a configuration file, sent without a
// window, for benches and nightly jobs that read the outcome from the exit
// status. It needs no display.
#include "config/config_io.h"
#include "config/slot_folder.h"
#include "platform/exit_status.h"
#include "platform/line_writer.h"
#include "platform/output_file.h"
#include "platform/stop_signals.h"
#include "run/headless_run.h"
#include "run/record_writers.h"
#include "run/run_options.h"
#include "run/slot_inputs.h"
#include "tallowick_version.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <memory>
#include <optional>

using namespace tallowick;

namespace {

// A bare name ("config1.ini", "config1") that is not a file here names a slot
// in the slot folder, where the window keeps them.
QString slotFileToRead(const QString &given)
{
    if (given.contains(u'/') || QFileInfo::exists(given))
        return given;
    const QDir folder(slotFolder());
    for (const QString &name : {given, given + QStringLiteral(".ini")}) {
        if (QFileInfo::exists(folder.filePath(name)))
            return folder.filePath(name);
    }
    return given;
}

int replay(const RunOptions &options)
{
    QStringList fileValues = designDefaults();
    if (!options.slotFile.isEmpty()) {
        const QString path = slotFileToRead(options.slotFile);
        const ConfigRead read = readConfigFile(path);
        if (const auto *error = std::get_if<FileError>(&read)) {
            writeUtf8(stderr, QStringLiteral("tallowick-run: cannot read %1: %2\n")
                                  .arg(QDir::toNativeSeparators(path), error->reason));
            return exit_status::refused;
        }
        fileValues = std::get<QStringList>(read);
    }
    const SlotInputs inputs(fileValues, options);

    // Every output is made sure of before anything is sent.
    const auto cannotWrite = [](const QString &path, const QString &reason) {
        writeUtf8(stderr, QStringLiteral("tallowick-run: cannot write %1: %2\n").arg(path, reason));
    };
    RunRecording recording;
    recording.expect = options.expect;
    recording.mbap = options.mbap;
    // Standard output holds one thing: the JSON lines when they go there,
    // else the log and the summary table, which then go to standard error.
    const bool jsonToStdout = options.jsonPath && *options.jsonPath == u"-";
    std::unique_ptr<OutputFile> standardOutput = OutputFile::standardOutput();
    std::unique_ptr<OutputFile> standardError = OutputFile::standardError();
    OutputFile &log = jsonToStdout ? *standardError : *standardOutput;
    std::unique_ptr<OutputFile> jsonFile;
    std::optional<JsonLinesWriter> json;
    if (options.jsonPath) {
        if (!jsonToStdout) {
            auto opened = OutputFile::open(*options.jsonPath);
            if (const auto *error = std::get_if<FileError>(&opened)) {
                cannotWrite(*options.jsonPath, error->reason);
                return exit_status::refused;
            }
            jsonFile = std::move(std::get<std::unique_ptr<OutputFile>>(opened));
        }
        recording.sinks.push_back(&json.emplace(jsonFile ? *jsonFile : *standardOutput));
    }
    std::optional<JUnitReport> junit;
    if (options.junitPath) {
        // Made sure of without touching what is there: the report replaces
        // it only at the end.
        if (const auto error = checkWritable(*options.junitPath)) {
            cannotWrite(*options.junitPath, error->reason);
            return exit_status::refused;
        }
        const QString suite = options.slotFile.isEmpty()
                                  ? QStringLiteral("tallowick-run")
                                  : QFileInfo(options.slotFile).completeBaseName();
        recording.sinks.push_back(&junit.emplace(*options.junitPath, suite));
    }
    std::optional<SummaryWriter> summary;
    if (options.summary)
        recording.sinks.push_back(&summary.emplace(log));

    StopSignals stopSignals;
    HeadlessRun run(inputs, options.serialPort.has_value(), options.singleSend(), &log, stderr,
                    recording);
    QObject::connect(&stopSignals, &StopSignals::received, &run,
                     [&run](int signal) { run.interrupt(exit_status::onSignal(signal)); });
    QObject::connect(&run, &HeadlessRun::finished, qApp,
                     [](int status) { QCoreApplication::exit(status); });
    // An output that fails ends the run at once, the others completed.
    OutputFaults faults(QStringLiteral("tallowick-run"));
    const auto failed = [&run, &faults](const OutputFault &fault) {
        faults.note(fault);
        QTimer::singleShot(0, &run, [&run, &faults] { run.interrupt(faults.status()); });
    };
    for (OutputFile *output : {standardOutput.get(), jsonFile.get()}) {
        if (output)
            output->onFault(failed);
    }
    // A reader of standard output (a pipe into jq) has every line before the
    // run waits; a file of records is written in blocks.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &run, [&standardOutput] { standardOutput->flush(); });
    QTimer::singleShot(0, &run, &HeadlessRun::start);
    int status = QCoreApplication::exec();
    if (jsonFile)
        jsonFile->close();
    standardOutput->close();
    standardError->flush();
    if (junit && !junit->error().isEmpty())
        faults.note({*options.junitPath, junit->error()});
    return faults.exitStatus(status);
}

} // namespace

int main(int argc, char *argv[])
{
    // A bare slot name is looked up where the window of the same build keeps
    // the slots (TALLOWICK_SLOT_PLACE, see src/CMakeLists.txt), before --help
    // names the folder.
    setSlotPlace(SlotPlace::TALLOWICK_SLOT_PLACE);
    return commandLineProgram(argc, argv, parseRunCommandLine, QStringLiteral("tallowick-run"),
                              runUsage(), QStringLiteral(TALLOWICK_VERSION), replay);
}
