// A start-up without a person at the screen whose database cannot be reached: instead
// of the connection dialog, which nobody could answer, the stored connection is tried
// again and again, waiting longer each time (5 s, doubling, at most 5 minutes), and
// every failure says so in the status text and on standard error. The settings file is
// read again for every try, so fixing it is enough.
#pragma once

#include <QObject>

#include <functional>

class QTimer;

namespace cookhub {

class ConnectionRetry : public QObject {
    Q_OBJECT

  public:
    // `attempt` tries the stored connection; `connected` runs once it works; `note`
    // shows a failure's text in the status.
    ConnectionRetry(std::function<bool()> attempt, std::function<void()> connected,
                    std::function<void(const QString&)> note, QObject* parent = nullptr);

    void start();       // the first try after the first wait
    void attemptNow();  // one try; the timer calls it
    bool active() const;
    int nextWaitMilliseconds() const { return waitMs_; }

    static constexpr int kFirstWaitMs = 5000;
    static constexpr int kLongestWaitMs = 300000;

  private:
    void scheduleNext();

    std::function<bool()> attempt_;
    std::function<void()> connected_;
    std::function<void(const QString&)> note_;
    QTimer* timer_;
    int waitMs_ = kFirstWaitMs;
};

}  // namespace cookhub
