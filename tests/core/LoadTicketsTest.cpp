#include "state/LoadTickets.h"

#include <gtest/gtest.h>

TEST(LoadTickets, TheLastStartedLoadOfAGroupWinsAndOtherGroupsStayApart)
{
    LoadTickets tickets;
    const QUuid project = QUuid::createUuid();
    const LoadTicket first = tickets.begin(LoadGroup::history, project);
    const LoadTicket status = tickets.begin(LoadGroup::status, project);
    EXPECT_TRUE(tickets.isNewest(first));
    EXPECT_TRUE(tickets.isNewest(status));

    const LoadTicket second = tickets.begin(LoadGroup::history, QUuid::createUuid());
    EXPECT_FALSE(tickets.isNewest(first));
    EXPECT_TRUE(tickets.isNewest(second));
    EXPECT_TRUE(tickets.isNewest(status));
    EXPECT_EQ(first.project, project);
}

TEST(LoadTickets, SupersedingMakesEveryRunningLoadOfTheGroupStale)
{
    LoadTickets tickets;
    const LoadTicket diff = tickets.begin(LoadGroup::changeDiff, QUuid());
    const LoadTicket incoming = tickets.begin(LoadGroup::incomingDiff, QUuid());
    tickets.supersede(LoadGroup::changeDiff);
    EXPECT_FALSE(tickets.isNewest(diff));
    EXPECT_TRUE(tickets.isNewest(incoming));
    // A load started after the group was superseded is current again.
    EXPECT_TRUE(tickets.isNewest(tickets.begin(LoadGroup::changeDiff, QUuid())));
}
