#pragma once

#include "tasks/Task.h"

#include <type_traits>

// The fields of each kind of task by name. A task keeps the positional form the task file
// holds (Text1 .. Text10, Flag1, Flag2); these views are the one place that says which
// position holds what, so the rest of the program never reads a position. Each view refers
// into its task: UploadFields(task).Path = ... writes the task; on a const task it is
// read-only.
template <typename Task> struct TTaskFieldTypes
{
    using Text = std::conditional_t<std::is_const_v<Task>, const QString, QString>;
    using Flag = std::conditional_t<std::is_const_v<Task>, const bool, bool>;
};

template <typename Task> struct TUploadFields
{
    using Text = typename TTaskFieldTypes<Task>::Text;
    using Flag = typename TTaskFieldTypes<Task>::Flag;
    Text& Path;
    Text& From;
    Text& ReplyTo;
    Text& Organization;
    Text& SubjectSpec; // template, subject text and path, in comma-text form
    Text& Groups;
    Text& SignatureFile;
    Text& Server;
    Text& Login;       // "user,password"
    Text& IncludeText; // comma text of the lines
    Flag& LoginRequired;
};

template <typename Task> TUploadFields<Task> UploadFields(Task& t)
{
    return {t.Text1, t.Text2, t.Text3, t.Text4,  t.Text5, t.Text6,
            t.Text7, t.Text8, t.Text9, t.Text10, t.Flag1};
}

// A group download or a download of the groups new since a date.
template <typename Task> struct TGroupTaskFields
{
    using Text = typename TTaskFieldTypes<Task>::Text;
    using Flag = typename TTaskFieldTypes<Task>::Flag;
    Text& Server;
    Text& UserName;
    Text& Password;
    Text& NewsrcPath;
    Text& Since; // new groups only
    Flag& LoginRequired;
};

template <typename Task> TGroupTaskFields<Task> GroupTaskFields(Task& t)
{
    return {t.Text1, t.Text2, t.Text3, t.Text4, t.Text5, t.Flag1};
}

template <typename Task> struct TDialFields
{
    using Text = typename TTaskFieldTypes<Task>::Text;
    using Flag = typename TTaskFieldTypes<Task>::Flag;
    Text& Connection;
    Text& UserName;
    Text& Password;
    Flag& UseAnotherConnection;
    Flag& SavePassword;
};

template <typename Task> TDialFields<Task> DialFields(Task& t)
{
    return {t.Text1, t.Text2, t.Text3, t.Flag1, t.Flag2};
}

// A Disconnect task names its server, a Hangup task its connection.
template <typename Task> typename TTaskFieldTypes<Task>::Text& TargetField(Task& t)
{
    return t.Text1;
}
