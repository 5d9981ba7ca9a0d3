// tallowick-run: the command lines of a configuration file, sent without a
// window, for benches and nightly jobs that read the outcome from the exit
// status. It needs no display.
#include "config/config_io.h"
#include "config/slot_folder.h"
#include "platform/line_writer.h"
#include "platform/stop_signals.h"
#include "run/headless_run.h"
#include "run/record_writers.h"
#include "run/run_options.h"
#include "run/slot_inputs.h"
#include "tallowick_version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
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
            return HeadlessRun::Refused;
        }
        fileValues = std::get<QStringList>(read);
    }
    const SlotInputs inputs(fileValues, options);

    // Every output is made sure of before anything is sent.
    const auto cannotWrite = [](const QString &path, const QString &reason) {
        writeUtf8(stderr, QStringLiteral("tallowick-run: cannot write %1: %2\n").arg(path, reason));
        return HeadlessRun::Refused;
    };
    RunRecording recording;
    recording.expect = options.expect;
    recording.mbap = options.mbap;
    std::FILE *log = stdout;
    // glibc takes a buffer's size only with the buffer: without one it uses
    // the file system's block, a write of 4 KiB every ~25 records. It outlives
    // the file.
    std::unique_ptr<char[]> jsonBuffer;
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> jsonFile(nullptr, &std::fclose);
    std::optional<JsonLinesWriter> json;
    if (options.jsonPath) {
        std::FILE *to = stdout;
        if (*options.jsonPath == u"-") {
            log = nullptr;
        } else {
            jsonFile.reset(std::fopen(QFile::encodeName(*options.jsonPath).constData(), "w"));
            if (!jsonFile)
                return cannotWrite(*options.jsonPath, QString::fromLocal8Bit(std::strerror(errno)));
            to = jsonFile.get();
            // A soak writes a line an exchange: in blocks, not one by one.
            constexpr std::size_t blockSize = 1 << 16;
            jsonBuffer = std::make_unique<char[]>(blockSize);
            std::setvbuf(to, jsonBuffer.get(), _IOFBF, blockSize);
        }
        recording.sinks.push_back(&json.emplace(to));
    }
    std::optional<JUnitReport> junit;
    if (options.junitPath) {
        QFile probe(*options.junitPath);
        if (!probe.open(QIODevice::WriteOnly))
            return cannotWrite(*options.junitPath, probe.errorString());
        probe.close();
        const QString suite = options.slotFile.isEmpty()
                                  ? QStringLiteral("tallowick-run")
                                  : QFileInfo(options.slotFile).completeBaseName();
        recording.sinks.push_back(&junit.emplace(*options.junitPath, suite));
    }
    std::optional<SummaryWriter> summary;
    if (options.summary)
        recording.sinks.push_back(&summary.emplace(stdout));

    StopSignals stopSignals;
    HeadlessRun run(inputs, options.serialPort.has_value(), options.singleSend(), log, stderr,
                    recording);
    QObject::connect(&stopSignals, &StopSignals::received, &run,
                     [&run](int signal) { run.interrupt(128 + signal); });
    QObject::connect(&run, &HeadlessRun::finished, qApp,
                     [](int status) { QCoreApplication::exit(status); });
    QTimer::singleShot(0, &run, &HeadlessRun::start);
    const int status = QCoreApplication::exec();
    if (junit && !junit->error().isEmpty())
        return cannotWrite(*options.junitPath, junit->error());
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    // A bare slot name is looked up where the window of the same build keeps
    // the slots (TALLOWICK_SLOT_PLACE, see src/CMakeLists.txt), before --help
    // names the folder.
    setSlotPlace(SlotPlace::TALLOWICK_SLOT_PLACE);
    return commandLineProgram(argc, argv, parseRunCommandLine, QStringLiteral("tallowick-run"),
                              runUsage(), QStringLiteral(TALLOWICK_VERSION), HeadlessRun::Refused,
                              replay);
}
