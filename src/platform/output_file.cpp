#include "platform/output_file.h"

#include "platform/descriptor_io.h"
#include "platform/exit_status.h"
#include "platform/line_writer.h"
#include "platform/system_reason.h"

#include <QFile>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tallowick {

namespace {

} // namespace

OutputFile::OutputFile(int fd, QString name, bool standard)
    : m_fd(fd), m_name(std::move(name)), m_standard(standard)
{
    m_buffer.reserve(bufferSize);
}

OutputFile::~OutputFile()
{
    if (m_fd >= 0 && !m_standard)
        ::close(m_fd);
}

OutputFile::Opened OutputFile::open(const QString &name)
{
    if (name == u"-")
        return standardOutput();
    // O_TRUNC leaves a device or FIFO as it is, and open() follows a link to
    // the file it names: nothing but a missing file is created.
    const int fd =
        ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return FileError{systemReason(errno)};
    return std::unique_ptr<OutputFile>(new OutputFile(fd, name, false));
}

std::unique_ptr<OutputFile> OutputFile::standardOutput()
{
    return std::unique_ptr<OutputFile>(
        new OutputFile(STDOUT_FILENO, standardOutputName.toString(), true));
}

std::unique_ptr<OutputFile> OutputFile::standardError()
{
    return std::unique_ptr<OutputFile>(
        new OutputFile(STDERR_FILENO, standardErrorName.toString(), true));
}

void OutputFile::onFault(std::function<void(const OutputFault &)> handler)
{
    m_onFault = std::move(handler);
}

bool OutputFile::writesNowhere() const
{
    struct stat written
    {
    };
    struct stat null
    {
    };
    return m_fd >= 0 && ::fstat(m_fd, &written) == 0 && ::stat("/dev/null", &null) == 0 &&
           written.st_dev == null.st_dev && written.st_ino == null.st_ino;
}

void OutputFile::write(QByteArrayView bytes)
{
    if (m_fault)
        return;
    if (m_buffer.size() + bytes.size() > bufferSize && !flush())
        return;
    m_buffer.append(bytes.data(), bytes.size());
    if (m_buffer.size() >= bufferSize)
        flush();
}

void OutputFile::writeText(const QString &text)
{
    write(QByteArrayView(text.toUtf8()));
}

bool OutputFile::flush()
{
    if (m_fault)
        return false;
    qsizetype done = 0;
    for (;;) {
        const DescriptorWrite write = writeWhatFits(m_fd, QByteArrayView(m_buffer).sliced(done));
        done += write.written;
        if (write.error == 0)
            break;
        if (write.error != EAGAIN) {
            fail(write.error);
            return false;
        }
        // A descriptor shared with a shell that made it non-blocking: the
        // reader is behind, so wait for room rather than drop bytes.
        pollfd room{m_fd, POLLOUT, 0};
        ::poll(&room, 1, -1);
    }
    m_buffer.clear();
    return true;
}

bool OutputFile::close()
{
    if (m_fd < 0)
        return !m_fault;
    const bool flushed = flush();
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0 && flushed && errno != EINTR) {
        fail(errno);
        return false;
    }
    return flushed;
}

OutputFault OutputFault::ofError(QString name, int error)
{
    return {std::move(name), systemReason(error), error == EPIPE};
}

void OutputFile::fail(int error)
{
    if (m_fault)
        return;
    m_buffer.clear();
    m_fault = OutputFault::ofError(m_name, error);
    if (m_onFault)
        m_onFault(*m_fault);
}

void OutputFaults::note(const OutputFault &fault)
{
    if (fault.readerGone) {
        m_status = std::max(m_status, exit_status::readerGone);
        return;
    }
    writeUtf8(stderr,
              QStringLiteral("%1: cannot write %2: %3\n").arg(m_program, fault.name, fault.reason));
    m_status = exit_status::outputNotWritten;
}

int OutputFaults::exitStatus(int status) const
{
    // A signal that ended the program before its reader went is its status.
    if (m_status == exit_status::outputNotWritten ||
        (m_status == exit_status::readerGone && status < exit_status::onSignal(0)))
        return m_status;
    return status;
}

} // namespace tallowick
