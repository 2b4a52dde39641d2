#include "LoadTickets.h"

LoadTicket LoadTickets::begin(LoadGroup group, const QUuid &project)
{
    supersede(group);
    const auto index = static_cast<std::size_t>(group);
    m_runs[index] = std::make_shared<ToolRunMark>();
    return LoadTicket{group, m_serials[index], project, m_runs[index]};
}

void LoadTickets::supersede(LoadGroup group)
{
    const auto index = static_cast<std::size_t>(group);
    ++m_serials[index];
    if (std::shared_ptr<ToolRunMark> superseded = std::exchange(m_runs[index], nullptr); superseded && m_scope)
        m_scope->endMarked(superseded);
}

bool LoadTickets::isNewest(const LoadTicket &ticket) const
{
    return m_serials[static_cast<std::size_t>(ticket.group)] == ticket.serial;
}
