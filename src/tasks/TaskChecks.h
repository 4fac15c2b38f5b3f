#pragma once

// What the commands that queue network work ask of the program before they queue it: the
// news server login when one is needed and not known, and a dial-up task first when the
// profile dials before its work. The application object answers them.
class TTaskChecks
{
public:
    virtual ~TTaskChecks() = default;

    // False when the user cancelled the login.
    virtual bool CheckAuth() = 0;
    // Queues a dial-up task first when the profile dials before its work.
    virtual void CheckRas() = 0;
};
