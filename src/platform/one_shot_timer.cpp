#include "platform/one_shot_timer.h"

#include <QTimer>

namespace tallowick {

QTimerWait::QTimerWait(QTimer *timer, QObject *parent) : OneShotTimer(parent), m_timer(timer)
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &OneShotTimer::timeout);
}

void QTimerWait::start(std::chrono::microseconds interval)
{
    m_timer->setInterval(std::chrono::ceil<std::chrono::milliseconds>(interval));
    m_timer->start();
}

void QTimerWait::stop()
{
    m_timer->stop();
}

bool QTimerWait::isActive() const
{
    return m_timer->isActive();
}

FirstOfTwoWait::FirstOfTwoWait(OneShotTimer *first, OneShotTimer *second, QObject *parent)
    : OneShotTimer(parent), m_first(first), m_second(second)
{
    connect(m_first, &OneShotTimer::timeout, this, &FirstOfTwoWait::fired);
    connect(m_second, &OneShotTimer::timeout, this, &FirstOfTwoWait::fired);
}

void FirstOfTwoWait::start(std::chrono::microseconds interval)
{
    m_first->start(interval);
    m_second->start(interval);
}

void FirstOfTwoWait::stop()
{
    m_first->stop();
    m_second->stop();
}

bool FirstOfTwoWait::isActive() const
{
    return m_first->isActive() || m_second->isActive();
}

void FirstOfTwoWait::fired()
{
    stop();
    emit timeout();
}

} // namespace tallowick

#include "moc_one_shot_timer.cpp"
