#pragma once
// A periodic timer whose interval 0 means stopped.
//
// The tool stops its tick by setting the interval to 0 and restarts it by
// setting a positive interval; a raw QTimer with interval 0 would instead
// fire continuously. Setting the interval it already has changes nothing.
#include <QObject>
#include <QTimer>

namespace zelt {

class PeriodicTimer : public QObject {
    Q_OBJECT
public:
    explicit PeriodicTimer(int intervalMs = 0, QObject* parent = nullptr);

    int interval() const { return interval_; }
    void setInterval(int ms);
    bool running() const { return timer_.isActive(); }

signals:
    void timeout();

private:
    QTimer timer_;
    int interval_ = 0;
};

}  // namespace zelt
