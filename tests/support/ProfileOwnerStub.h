#pragma once

#include "app/Profiles.h"

#include <functional>

// Answers the profiles' requests for a test: counts the loads, creates no newsrc file.
struct TProfileOwnerStub : TProfileOwner
{
    int Loads = 0;
    std::function<void()> OnLoaded;

    void CreateNewsrcIfMissing() override {}
    void ProfileLoaded() override
    {
        ++Loads;
        if (OnLoaded)
            OnLoaded();
    }
};
