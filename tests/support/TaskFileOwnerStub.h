#pragma once

#include "tasks/TaskFile.h"

#include <functional>

// Answers the task file's requests as a test sets them; unset, they do nothing.
struct TTaskFileOwnerStub : TTaskFileOwner
{
    std::function<void(const QString&)> OnSwitch;
    std::function<void()> OnCheckRas;
    TKeyringPasswords Keyring;

    void SwitchProfile(const QString& name) override
    {
        if (OnSwitch)
            OnSwitch(name);
    }
    void CheckRas() override
    {
        if (OnCheckRas)
            OnCheckRas();
    }
    TKeyringPasswords KeyringPasswords() const override { return Keyring; }
};
