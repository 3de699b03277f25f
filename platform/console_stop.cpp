#include "platform/console_stop.h"

CConsoleStop::Action CConsoleStop::Arrive(Kind kind, std::chrono::milliseconds bound) {
    m_requested = true;
    if (m_immediateAllowed)
        return Action::kEndNow;
    if (kind == Kind::kEnding) {
        std::unique_lock<std::mutex> hold(m_lock);
        m_settledChanged.wait_for(hold, bound, [this] { return m_settled; });
    }
    return Action::kGoOn;
}

CConsoleStop::Action CConsoleStop::AllowImmediate(bool allowed) {
    m_immediateAllowed = allowed;
    return allowed && m_requested ? Action::kEndNow : Action::kGoOn;
}

void CConsoleStop::Settle() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_settled = true;
    }
    m_settledChanged.notify_all();
}
