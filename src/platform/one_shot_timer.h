#pragma once

#include <QObject>

#include <chrono>

class QTimer;

namespace tallowick {

// The waits of an exchange, as the engine sees them: started, stopped, and
// asked whether they still run. The program backs them with the window's
// timers and the microsecond timer; tests with a manual clock.
class OneShotTimer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Fires timeout() once, after the interval; starting it again while it
    // runs replaces the interval, counted from now.
    virtual void start(std::chrono::microseconds interval) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

signals:
    void timeout();
};

// A QTimer as a one-shot wait, in whole milliseconds (a part of one rounds up,
// so the wait is never cut short). The timer keeps its name and its type, and
// becomes single-shot.
class QTimerWait : public OneShotTimer
{
    Q_OBJECT
public:
    explicit QTimerWait(QTimer *timer, QObject *parent = nullptr);

    void start(std::chrono::microseconds interval) override;
    void stop() override;
    bool isActive() const override;

private:
    QTimer *m_timer;
};

// Two timers on the same wait, the first to fire ending it for both: a QTimer
// that others can see running, and a precise one that ends the wait on time.
class FirstOfTwoWait : public OneShotTimer
{
    Q_OBJECT
public:
    FirstOfTwoWait(OneShotTimer *first, OneShotTimer *second, QObject *parent = nullptr);

    void start(std::chrono::microseconds interval) override;
    void stop() override;
    bool isActive() const override;

private:
    void fired();

    OneShotTimer *m_first;
    OneShotTimer *m_second;
};

} // namespace tallowick
