// Time as the service sees it: the wall clock for stamps and cut-offs, and waits.
//
// Every wait and every "now" of the shell and the engine goes through a Clock, so a
// test can run the watchdog, the start and stop waits and the look-back cut-offs
// without sleeping.
#pragma once

#include <QDateTime>
#include <QMutex>

namespace cookhub {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    virtual void sleep(int milliseconds) = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    void sleep(int milliseconds) override;
};

// A clock that only moves when told to; sleeping moves it at once.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime::currentDateTime());
    QDateTime now() const override;
    void sleep(int milliseconds) override;
    void advance(qint64 milliseconds);
    void set(const QDateTime& time);
    qint64 sleptMilliseconds() const;

private:
    mutable QMutex mutex_;
    QDateTime now_;
    qint64 slept_ = 0;
};

// The text form of date-times in SQL, settings and report variables.
inline constexpr auto kDateTimeFormat = "yyyy-MM-dd hh:mm:ss";
QString formatDateTime(const QDateTime& time);

// The zero date-time of the POS (30 December 1899, midnight), shown for an empty value.
QDateTime zeroDateTime();

}  // namespace cookhub
