#pragma once

#include "app/SecretStore.h"

// No keyring answers: the passwords are kept scrambled in the settings file, as without a
// desktop.
struct TNoKeyring : TSecretStore
{
    bool Available() override { return false; }
};
