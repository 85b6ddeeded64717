#include "clock.h"

#include <QThread>

namespace cookhub {

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

void SystemClock::sleep(int milliseconds)
{
    if (milliseconds > 0)
        QThread::msleep(static_cast<unsigned long>(milliseconds));
}

ManualClock::ManualClock(QDateTime start) : now_(std::move(start)) {}

QDateTime ManualClock::now() const
{
    QMutexLocker lock(&mutex_);
    return now_;
}

void ManualClock::sleep(int milliseconds)
{
    QMutexLocker lock(&mutex_);
    now_ = now_.addMSecs(milliseconds);
    slept_ += milliseconds;
}

void ManualClock::advance(qint64 milliseconds)
{
    QMutexLocker lock(&mutex_);
    now_ = now_.addMSecs(milliseconds);
}

void ManualClock::set(const QDateTime& time)
{
    QMutexLocker lock(&mutex_);
    now_ = time;
}

qint64 ManualClock::sleptMilliseconds() const
{
    QMutexLocker lock(&mutex_);
    return slept_;
}

QString formatDateTime(const QDateTime& time)
{
    return time.toString(QString::fromLatin1(kDateTimeFormat));
}

QDateTime zeroDateTime()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

}  // namespace cookhub
