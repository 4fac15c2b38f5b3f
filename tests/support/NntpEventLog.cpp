#include "NntpEventLog.h"
#include "RunUntil.h"

#include "net/bcsNNTP.h"

#include <QTest>

TNntpEventLog::TNntpEventLog(TbcsNNTP& client, QObject* parent) : QObject(parent)
{
    auto add = [this](const QString& line) { Events.append(line); };
    connect(&client, &TbcsNNTP::OnCanceled, this, [add] { add("canceled"); });
    connect(&client, &TbcsNNTP::OnConnected, this, [add] { add("connected"); });
    connect(&client, &TbcsNNTP::OnDisconnected, this, [add] { add("disconnected"); });
    connect(&client, &TbcsNNTP::OnError, this, [add](const QString& t) { add("error " + t); });
    connect(&client, &TbcsNNTP::OnGroupReceived, this, [this](const QString& g) {
        Groups.append(g);
        Events.append("group " + g);
    });
    connect(&client, &TbcsNNTP::OnGroupsDone, this, [add] { add("groups done"); });
    connect(&client, &TbcsNNTP::OnLogEvent, this, [this](const QString& t) { LogLines << t; });
    connect(&client, &TbcsNNTP::OnNewStatus, this,
            [add](TClientStatus s) { add(QString("status %1").arg(int(s))); });
    connect(&client, &TbcsNNTP::OnPosted, this, [add] { add("posted"); });
    connect(&client, &TbcsNNTP::OnArticleChecked, this, [add](const QString& id, bool present) {
        add("checked " + id + (present ? " 1" : " 0"));
    });
    connect(&client, &TbcsNNTP::OnCheckDone, this, [add] { add("check done"); });
    connect(&client, &TbcsNNTP::OnCheckRefused, this,
            [add](const QString& text) { add("check refused " + text); });
    connect(&client, &TbcsNNTP::OnPostFailed, this,
            [add](const QString& r) { add("post failed " + r); });
    connect(&client, &TbcsNNTP::OnProgress, this,
            [add](int p) { add(QString("progress %1").arg(p)); });
}

bool TNntpEventLog::Has(const QString& prefix) const
{
    for (const QString& e : Events)
        if (e.startsWith(prefix))
            return true;
    return false;
}

QStringList TNntpEventLog::Without(const QStringList& prefixes) const
{
    QStringList out;
    for (const QString& e : Events) {
        bool skip = false;
        for (const QString& p : prefixes)
            skip = skip || e.startsWith(p);
        if (!skip)
            out << e;
    }
    return out;
}

bool TNntpEventLog::WaitFor(const QStringList& prefixes, int timeoutMs)
{
    const qsizetype from = m_taken;
    auto found = [&] {
        for (qsizetype i = from; i < Events.size(); ++i)
            for (const QString& p : prefixes)
                if (Events.at(i).startsWith(p))
                    return true;
        return false;
    };
    return QTest::qWaitFor(found, GuardMs(timeoutMs));
}

QStringList TNntpEventLog::Take()
{
    const QStringList out = Events.mid(m_taken);
    m_taken = Events.size();
    return out;
}
