#pragma once

#include "platform/atomic_save.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace tallowick {

// Why an output could not take what was written to it.
struct OutputFault
{
    QString name;   // "standard output" or the file as it was given
    QString reason; // in the system's words
    // The reader at the other end of a pipe went away (`| head`): nobody is
    // left to tell, so this ends a program quietly.
    bool readerGone = false;

    // The output refused a write with the error (errno).
    static OutputFault ofError(QString name, int error);
};

// An output of a program without a window: standard output ("-") or a file
// written from the start, the same way for every one of them. Bytes are
// buffered; every write, flush and close is checked, and the first failure is
// kept and handed once to the fault handler, after which the output takes
// nothing more. A device or FIFO is written where it is, a symbolic link
// followed: only a new file is created.
class OutputFile
{
public:
    static constexpr QStringView standardOutputName = u"standard output";
    static constexpr QStringView standardErrorName = u"standard error";

    using Opened = std::variant<std::unique_ptr<OutputFile>, FileError>;
    // "-" is standard output.
    static Opened open(const QString &name);
    static std::unique_ptr<OutputFile> standardOutput();
    // For what goes to standard error in the place of standard output; its
    // failures have nobody left to be told to.
    static std::unique_ptr<OutputFile> standardError();

    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Told of the first failure, once, from inside the write that met it.
    void onFault(std::function<void(const OutputFault &)> handler);

    // Kept until the buffer holds `bufferSize` bytes or flush() is called.
    void write(QByteArrayView bytes);
    void writeText(const QString &text); // as UTF-8
    // Hands everything written so far to the system; false once failed.
    bool flush();
    // Flushes and closes (standard output too: a file system that defers its
    // errors reports them here). False once failed.
    bool close();

    // The output is /dev/null: a writer may spare itself making what it writes.
    bool writesNowhere() const;
    const std::optional<OutputFault> &fault() const { return m_fault; }

    static constexpr qsizetype bufferSize = 64 * 1024;

private:
    OutputFile(int fd, QString name, bool standard);
    void fail(int error);

    int m_fd;
    QString m_name;
    bool m_standard; // standard output or error, not closed by the destructor
    QByteArray m_buffer;
    std::optional<OutputFault> m_fault;
    std::function<void(const OutputFault &)> m_onFault;
};

// What the faults of a program's outputs make of its end. The reader of
// standard output gone is the status of SIGPIPE, with no word; any other
// fault is told on standard error, naming the output and the system's
// reason, and is the status of an output not written, which no other outcome
// of the program outweighs.
class OutputFaults
{
public:
    explicit OutputFaults(QString program) : m_program(std::move(program)) {}
    void note(const OutputFault &fault);
    // 0 before any fault.
    int status() const { return m_status; }
    // The program's exit status, its own being `status`.
    int exitStatus(int status) const;

private:
    QString m_program;
    int m_status = 0;
};

} // namespace tallowick
