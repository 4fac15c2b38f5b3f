#pragma once

#include "tasks/Task.h"

#include <type_traits>

// The fields of each kind of task by name. A task keeps the positional form the task file
// holds (Text1 .. Text10, Flag1, Flag2); these views are the one place that says which
// position holds what, so the rest of the program never reads a position. Each view refers
// into its task: UploadFields(task).Path = ... writes the task; on a const task it is
// read-only.
template <typename Task>
using TTaskText = std::conditional_t<std::is_const_v<Task>, const QString, QString>;
template <typename Task>
using TTaskFlag = std::conditional_t<std::is_const_v<Task>, const bool, bool>;

template <typename Task> struct TUploadFields
{
    TTaskText<Task>& Path;
    TTaskText<Task>& From;
    TTaskText<Task>& ReplyTo;
    TTaskText<Task>& Organization;
    TTaskText<Task>& SubjectParts; // template, subject text and path, in comma-text form
    TTaskText<Task>& Groups;
    TTaskText<Task>& SignatureFile;
    TTaskText<Task>& Server;
    TTaskText<Task>& Login;       // "user,password"
    TTaskText<Task>& IncludeText; // comma text of the lines
    TTaskFlag<Task>& LoginRequired;
    // A binary file goes yEnc-encoded rather than uuencoded. Task files written before there
    // was a choice hold false here, as uuencoded tasks still do.
    TTaskFlag<Task>& YEnc;
    // The batch the task was queued in (the tasks one Post made), whose journal and NZB file
    // record it; empty in task files written before there were batches: such a task posts
    // unrecorded, as it always did.
    TTaskText<Task>& Batch;
    // The recovery files made and posted with the file (TRecoverySetting); empty for none, as
    // in task files written before there were any.
    TTaskText<Task>& Recovery;
};

template <typename Task> TUploadFields<Task> UploadFields(Task& t)
{
    return {t.Text1, t.Text2, t.Text3,  t.Text4, t.Text5, t.Text6,  t.Text7,
            t.Text8, t.Text9, t.Text10, t.Flag1, t.Flag2, t.Text11, t.Text12};
}

// A group download or a download of the groups new since a date.
template <typename Task> struct TGroupTaskFields
{
    TTaskText<Task>& Server;
    TTaskText<Task>& UserName;
    TTaskText<Task>& Password;
    TTaskText<Task>& NewsrcPath;
    TTaskText<Task>& Since; // new groups only
    TTaskFlag<Task>& LoginRequired;
};

template <typename Task> TGroupTaskFields<Task> GroupTaskFields(Task& t)
{
    return {t.Text1, t.Text2, t.Text3, t.Text4, t.Text5, t.Flag1};
}

template <typename Task> struct TDialFields
{
    TTaskText<Task>& Connection;
    TTaskText<Task>& UserName;
    TTaskText<Task>& Password;
    TTaskFlag<Task>& UseAnotherConnection;
    TTaskFlag<Task>& SavePassword;
};

template <typename Task> TDialFields<Task> DialFields(Task& t)
{
    return {t.Text1, t.Text2, t.Text3, t.Flag1, t.Flag2};
}

// A Disconnect task names its server, a Hangup task its connection.
template <typename Task> TTaskText<Task>& TargetField(Task& t)
{
    return t.Text1;
}
