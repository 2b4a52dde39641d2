#include "LoadTickets.h"

LoadTicket LoadTickets::begin(LoadGroup group, const QUuid &project)
{
    supersede(group);
    return LoadTicket{group, m_serials[static_cast<std::size_t>(group)], project};
}

void LoadTickets::supersede(LoadGroup group)
{
    ++m_serials[static_cast<std::size_t>(group)];
}

bool LoadTickets::isNewest(const LoadTicket &ticket) const
{
    return m_serials[static_cast<std::size_t>(ticket.group)] == ticket.serial;
}
