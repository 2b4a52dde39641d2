#pragma once

#include <QUuid>

#include <array>
#include <cstddef>

// Groups of loads: within a group the last started load wins; older ones drop their results.
enum class LoadGroup { status, info, incoming, history, archives, changeDiff, historyDiff, incomingDiff, count };

struct LoadTicket {
    LoadGroup group;
    quint64 serial;
    QUuid project;
};

class LoadTickets {
public:
    LoadTicket begin(LoadGroup group, const QUuid &project);
    // Makes every running load of the group stale without starting a new one.
    void supersede(LoadGroup group);
    // No load of the group started, or was superseded, after this one.
    bool isNewest(const LoadTicket &ticket) const;

private:
    std::array<quint64, static_cast<std::size_t>(LoadGroup::count)> m_serials{};
};
