#include "LoadTickets.h"

LoadTicket LoadTickets::begin(LoadGroup group, const QUuid &project)
{
    supersede(group);
    const auto index = static_cast<std::size_t>(group);
    // A load is a part of the task it runs in (not of another load it follows), so ending the task ends it.
    std::shared_ptr<ToolRunMark> task = m_scope ? m_scope->currentMark() : nullptr;
    while (task && task->whole())
        task = task->whole();
    m_runs[index] = std::make_shared<ToolRunMark>(std::move(task));
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
