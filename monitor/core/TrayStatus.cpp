#include "monitor/core/TrayStatus.h"

namespace monitor {

TrayStatus::TrayStatus(core::RunIndicator& indicator, std::function<bool()> foreground)
    : m_indicator(indicator)
    , m_foreground(std::move(foreground))
{
}

void TrayStatus::show()
{
    m_indicator.setTrayState(m_picture == 0 ? core::TrayState::Normal : core::TrayState::Attention, m_tip);
}

void TrayStatus::reset(const std::string& tip)
{
    m_tip = tip;
    m_picture = 0;
    show();
}

void TrayStatus::SetTrayPicture(int n)
{
    if (n != 0 && n != 1)
        return;
    m_picture = n;
    show();
}

void TrayStatus::SignalChange(const std::string& text)
{
    m_tip = text;
    if (!m_foreground())
        m_picture = 1;
    show();
}

} // namespace monitor
