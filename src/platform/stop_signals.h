#pragma once

#include "platform/watched_descriptor.h"

#include <QObject>

namespace tallowick {

// SIGINT and SIGTERM as events of the event loop, so that a run ends in order
// (its exchange ended, its link closed, its log complete) instead of dying
// mid-write. The signals are blocked and read from a signalfd instead.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    // Before any thread starts, so that every thread leaves the signals alone.
    static void block();

    // With the application object in place.
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

signals:
    // The signal's number.
    void received(int signal);

private:
    void read();

    WatchedDescriptor m_descriptor;
};

} // namespace tallowick
