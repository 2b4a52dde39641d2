#pragma once

// TEMPORARY: repository actions that are not on main yet are called through this until they land.
#include <QDebug>

inline void pendingAction(const char *name)
{
    qWarning("Action not available yet: %s", name);
}

#define KORVEL_CALL(stateExpr, call)                                                                                   \
    [](auto &s) {                                                                                                      \
        if constexpr (requires { s.call; })                                                                            \
            s.call;                                                                                                    \
        else                                                                                                           \
            pendingAction(#call);                                                                                      \
    }(stateExpr)
