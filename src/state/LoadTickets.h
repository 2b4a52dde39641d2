#pragma once

#include "tools/ToolRunScope.h"

#include <QUuid>

#include <array>
#include <cstddef>
#include <memory>

// Groups of loads: within a group the last started load wins; older ones drop their results.
enum class LoadGroup { status, info, incoming, history, archives, changeDiff, historyDiff, incomingDiff, count };

struct LoadTicket {
    LoadGroup group;
    quint64 serial;
    QUuid project;
    // The load's tool runs carry it (ToolRunScope::Marked), so a newer load can end them; so does
    // ending the task the load was begun in.
    std::shared_ptr<ToolRunMark> runs;
};

class LoadTickets {
public:
    // With a scope, a superseded load's runs are ended in it, so no more than one run of a group waits
    // on a server that does not answer.
    explicit LoadTickets(std::shared_ptr<ToolRunScope> scope = {}) : m_scope(std::move(scope)) { }

    LoadTicket begin(LoadGroup group, const QUuid &project);
    // Makes every running load of the group stale without starting a new one.
    void supersede(LoadGroup group);
    // No load of the group started, or was superseded, after this one.
    bool isNewest(const LoadTicket &ticket) const;

private:
    static constexpr std::size_t groups = static_cast<std::size_t>(LoadGroup::count);
    std::shared_ptr<ToolRunScope> m_scope;
    std::array<quint64, groups> m_serials{};
    std::array<std::shared_ptr<ToolRunMark>, groups> m_runs{};
};
