#include "set_con_startup.h"

#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace cookhub {

ConnectionRetry::ConnectionRetry(std::function<bool()> attempt, std::function<void()> connected,
                                 std::function<void(const QString&)> note, QObject* parent)
    : QObject(parent),
      attempt_(std::move(attempt)),
      connected_(std::move(connected)),
      note_(std::move(note)),
      timer_(new QTimer(this)) {
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &ConnectionRetry::attemptNow);
}

void ConnectionRetry::start() {
    waitMs_ = kFirstWaitMs;
    scheduleNext();
}

bool ConnectionRetry::active() const {
    return timer_->isActive();
}

void ConnectionRetry::scheduleNext() {
    const QString text = u"连接不上数据库，%1 秒后重试"_s.arg(waitMs_ / 1000);
    const QByteArray line = (u"connection: "_s + text + u'\n').toUtf8();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
    if (note_)
        note_(text);
    timer_->start(waitMs_);
}

void ConnectionRetry::attemptNow() {
    timer_->stop();
    bool ok = false;
    try {
        ok = attempt_ && attempt_();
    } catch (const std::exception&) {
        ok = false;  // a failing try is one more failure; the next one comes later
    }
    if (ok) {
        std::fputs("connection: 数据库已连接\n", stderr);
        if (note_)
            note_(QString());
        if (connected_)
            connected_();
        return;
    }
    waitMs_ = std::min(waitMs_ * 2, kLongestWaitMs);
    scheduleNext();
}

}  // namespace cookhub
