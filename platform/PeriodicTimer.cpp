#include "platform/PeriodicTimer.h"

namespace zelt {

PeriodicTimer::PeriodicTimer(int intervalMs, QObject* parent) : QObject(parent)
{
    timer_.setTimerType(Qt::CoarseTimer);
    connect(&timer_, &QTimer::timeout, this, &PeriodicTimer::timeout);
    setInterval(intervalMs);
}

void PeriodicTimer::setInterval(int ms)
{
    if (ms < 0)
        ms = 0;
    if (ms == interval_ && (ms == 0 || timer_.isActive()))
        return;
    interval_ = ms;
    if (ms == 0)
        timer_.stop();
    else
        timer_.start(ms);
}

}  // namespace zelt
