#pragma once

#include "tasks/TaskChecks.h"

#include <QStringList>

// The program's checks before work is queued, answered from a setting and recorded in order.
struct TScriptedTaskChecks : TTaskChecks
{
    bool AuthAnswer = true;
    QStringList Calls; // "CheckAuth", "CheckRas"

    bool CheckAuth() override
    {
        Calls << QStringLiteral("CheckAuth");
        return AuthAnswer;
    }
    void CheckRas() override { Calls << QStringLiteral("CheckRas"); }
};
