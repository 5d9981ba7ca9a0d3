#pragma once

// Shared by the start-up child and the minimal program: once the window has
// been painted for the first time, prints "SHOWN <monotonic ns> <VmRSS KiB>"
// and ends the program.
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace tallowick::bench {

class ShownReporter : public QObject
{
public:
    explicit ShownReporter(QWidget *window) : m_window(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Paint && !m_reported) {
            m_reported = true;
            // Once this paint is over.
            QTimer::singleShot(0, this, [] { report(); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static void report()
    {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        long long rss = 0;
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : status.readAll().split('\n'))
                if (line.startsWith("VmRSS:"))
                    rss = line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
        std::printf("SHOWN %lld %lld\n",
                    static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec, rss);
        std::fflush(stdout);
        QApplication::quit();
    }

    QWidget *m_window;
    bool m_reported = false;
};

} // namespace tallowick::bench
