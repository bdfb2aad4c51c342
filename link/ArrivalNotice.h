#pragma once
// How a real port tells its OnTriggerAvail handler that received bytes are
// waiting: from the event loop, never from inside the read that brought
// them and never inside the handler itself. Bytes that arrive while the
// handler runs (a modal dialog's nested event loop) give one further call
// once it returns. An exception a handler lets out is reported and stops
// there, instead of unwinding through the event loop.
#include <QtGlobal>
#include <functional>

namespace zelt {

class ComPort;

class ArrivalNotice {
public:
    // waiting: the bytes waiting now; 0 or less when none (or the port is
    // closed).
    ArrivalNotice(ComPort& port, std::function<qint64()> waiting);

    // Bytes arrived: one call of the handler is posted to the event loop,
    // however many arrivals come before it runs.
    void arrived();

private:
    void notifyNow();

    ComPort& port_;
    std::function<qint64()> waiting_;
    bool dispatchPosted_ = false;
    bool inHandler_ = false;
    bool arrivedInHandler_ = false;
};

}  // namespace zelt
