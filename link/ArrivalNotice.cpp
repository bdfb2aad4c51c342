#include "link/ArrivalNotice.h"

#include "link/ComPort.h"

#include <QMetaObject>
#include <algorithm>
#include <exception>

namespace zelt {

ArrivalNotice::ArrivalNotice(ComPort& port, std::function<qint64()> waiting)
    : port_(port), waiting_(std::move(waiting))
{
}

void ArrivalNotice::arrived()
{
    if (inHandler_) {
        arrivedInHandler_ = true;
        return;
    }
    if (dispatchPosted_)
        return;
    dispatchPosted_ = true;
    // Posted to the port, so that a port that is gone takes the call with it.
    QMetaObject::invokeMethod(
        &port_,
        [this] {
            dispatchPosted_ = false;
            notifyNow();
        },
        Qt::QueuedConnection);
}

void ArrivalNotice::notifyNow()
{
    if (inHandler_) {
        arrivedInHandler_ = true;
        return;
    }
    do {
        arrivedInHandler_ = false;
        if (!port_.OnTriggerAvail)
            return;
        const qint64 waiting = waiting_();
        if (waiting <= 0)
            return;
        struct InHandler {
            bool& flag;
            explicit InHandler(bool& f) : flag(f) { flag = true; }
            ~InHandler() { flag = false; }
        } guard(inHandler_);
        try {
            port_.OnTriggerAvail(static_cast<quint16>(std::min<qint64>(waiting, 65535)));
        } catch (const std::exception& e) {
            // Handlers catch their own errors; this keeps one that does not
            // from unwinding through the event loop.
            qWarning("Error in the receive handler: %s", e.what());
            return;
        }
    } while (arrivedInHandler_);
}

}  // namespace zelt
