#include "service_state.h"

namespace cookhub {

bool RunToken::running() const
{
    return state_ && state_->running_.load() && state_->run_.load() == run_;
}

RunToken ServiceState::beginRun()
{
    const std::uint64_t run = run_.fetch_add(1) + 1;
    running_.store(true);
    return RunToken(this, run);
}

RunToken ServiceState::currentToken() const
{
    return RunToken(this, run_.load());
}

void ServiceState::beat(const QDateTime& now)
{
    heartbeatMs_.store(now.toMSecsSinceEpoch());
    hasHeartbeat_.store(true);
}

QDateTime ServiceState::heartbeat() const
{
    if (!hasHeartbeat_.load())
        return {};
    return QDateTime::fromMSecsSinceEpoch(heartbeatMs_.load());
}

QString ServiceState::businessDayStart() const
{
    QMutexLocker lock(&textMutex_);
    return businessDayStart_;
}

void ServiceState::setBusinessDayStart(const QString& text)
{
    QMutexLocker lock(&textMutex_);
    businessDayStart_ = text;
}

QString ServiceState::statusText() const
{
    QMutexLocker lock(&textMutex_);
    return statusText_;
}

void ServiceState::setStatusText(const QString& text)
{
    QMutexLocker lock(&textMutex_);
    statusText_ = text;
}

}  // namespace cookhub
