#include "cli/CheckCommand.h"

#include "article/MessageId.h"
#include "base/ProfileSettings.h"
#include "base/SignalPipe.h"
#include "cli/CliRequest.h"
#include "cli/ExitStatus.h"
#include "cli/Terminal.h"
#include "cli/TerminalView.h"
#include "codec/PrintableText.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskRunner.h"
#include "upload/ArticleBodyCheck.h"
#include "upload/NzbFile.h"

#include <QEventLoop>
#include <QSet>
#include <QFile>

TCheckCommand::TCheckCommand(const ProfileSettings& settings, TTaskRunner& runner, TbcsNNTP& client,
                             TSignalPipe& signalPipe, TTerminalView& view,
                             const TTerminal& terminal)
    : m_settings(settings), m_runner(runner), m_client(client), m_signals(signalPipe), m_view(view),
      m_terminal(terminal)
{
}

int TCheckCommand::fail(const QString& text)
{
    m_view.Note(QStringLiteral("quorvel-cli: ") + text);
    return ExitFailed;
}

int TCheckCommand::Run(const TCliRequest& request)
{
    const QString path = request.Arguments.value(0);
    if (const QString error = readNzb(path); !error.isEmpty())
        return fail(error);
    for (const QString& unusable : std::as_const(m_unusable))
        m_view.ShowWarning(unusable);
    if (const QString error = ask(); !error.isEmpty())
        return fail(QStringLiteral("cannot check %1: %2").arg(path, error));
    if (request.Has(QStringLiteral("bodies"))) {
        const QString value = request.Value(QStringLiteral("bodies"));
        bool ok = false;
        const int percent = QString(value).remove(u'%').toInt(&ok);
        if (!ok || percent < 1 || percent > 100)
            return fail(
                QStringLiteral("--bodies takes a per cent from 1% to 100%, not \"%1\"").arg(value));
        if (const QString error = checkBodies(percent); !error.isEmpty())
            return fail(QStringLiteral("cannot check %1: %2").arg(path, error));
    }
    QString text;
    for (const QString& line : std::as_const(m_damaged))
        text += line + u'\n';
    for (const qsizetype index : std::as_const(m_missing))
        text += m_ids.at(index) + QStringLiteral("  ") + m_what.at(index) + u'\n';
    m_terminal.Out(text);
    QString summary = QStringLiteral("quorvel-cli: %1 of %2 article(s) missing")
                          .arg(m_missing.size())
                          .arg(m_ids.size());
    if (!m_unusable.isEmpty())
        summary += QStringLiteral("; %1 unusable Message-ID(s) not checked").arg(m_unusable.size());
    m_view.Note(summary);
    if (request.Has(QStringLiteral("bodies")))
        m_view.Note(
            QStringLiteral("quorvel-cli: %1 article body(ies) damaged").arg(m_damaged.size()));
    return m_missing.isEmpty() && m_unusable.isEmpty() && m_damaged.isEmpty() ? ExitOk : ExitFailed;
}

void TCheckCommand::addSegment(int fileNo, const QString& subject, int segment,
                               const QString& messageId)
{
    const QString id = messageId.startsWith(u'<') ? messageId : '<' + messageId + '>';
    if (const QString problem = MessageId::Problem(id); !problem.isEmpty()) {
        m_unusable << QStringLiteral("file %1 (%2), segment %3: the Message-ID %4 is %5; it was "
                                     "not checked")
                          .arg(QString::number(fileNo), PrintableText(subject),
                               QString::number(segment), PrintableText(id), problem);
        return;
    }
    if (m_index.contains(id))
        return;
    m_index.insert(id, m_ids.size());
    m_ids << id;
    m_what << QStringLiteral("%1, part %2").arg(subject).arg(segment);
}

QString TCheckCommand::checkBodies(int percent)
{
    // Spread over the whole post: every article whose share of percent reaches a whole one.
    const QSet<qsizetype> missing(m_missing.cbegin(), m_missing.cend());
    QStringList sample;
    qsizetype present = 0;
    for (qsizetype i = 0; i < m_ids.size(); ++i) {
        if (missing.contains(i))
            continue;
        if ((present + 1) * percent / 100 > present * percent / 100)
            sample << m_ids.at(i);
        ++present;
    }
    QEventLoop loop;
    connect(&m_client, &TbcsNNTP::OnBodyFetched, &loop,
            [this](const QString& id, bool there, const QByteArrayList& lines) {
                const QString damage = there ? ArticleBodyCheck::Damage(lines)
                                             : QStringLiteral("the server has no body for it");
                if (!damage.isEmpty())
                    m_damaged << QStringLiteral("%1  %2  damaged: %3")
                                     .arg(id, m_what.value(m_index.value(id, -1)), damage);
            });
    connect(&m_client, &TbcsNNTP::OnBodiesDone, &loop, &QEventLoop::quit);
    return await(loop, [&] { m_client.FetchBodies(sample); });
}

QString TCheckCommand::readNzb(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    QString error;
    const std::optional<QList<TNzbFile>> files = NzbFile::Read(file.readAll(), &error);
    if (!files)
        return QStringLiteral("%1 is no NZB file: %2").arg(path, error);
    int fileNo = 0;
    for (const TNzbFile& f : *files) {
        ++fileNo;
        for (const TNzbSegment& s : f.Segments)
            addSegment(fileNo, f.Subject, s.Number, s.MessageId);
    }
    if (m_ids.isEmpty() && m_unusable.isEmpty())
        return QStringLiteral("%1 lists no articles").arg(path);
    return QString();
}

QString TCheckCommand::ask()
{
    if (m_ids.isEmpty())
        return QString(); // every one listed was unusable: nothing to ask
    const ProfileSettings& s = m_settings;
    m_runner.ConfigureClient(
        {s.Host, {s.LoginRequired, s.UserID, s.Password}, s.Timeout, s.PostTimeout});
    m_client.SetTls(m_runner.ConnectionOverride().Tls(
        {TlsModeFromText(s.Security), s.TrustedAuthorities, s.TrustedFingerprint}));
    QEventLoop loop;
    connect(&m_client, &TbcsNNTP::OnArticleChecked, &loop, [this](const QString& id, bool present) {
        if (!present)
            m_missing << m_index.value(id);
    });
    connect(&m_client, &TbcsNNTP::OnCheckDone, &loop, &QEventLoop::quit);
    return await(loop, [&] { m_client.CheckArticles(m_ids); });
}

QString TCheckCommand::await(QEventLoop& loop, const std::function<void()>& start)
{
    QString error;
    connect(&m_client, &TbcsNNTP::OnError, &loop, [&](const QString& text) {
        error = text;
        loop.quit();
    });
    connect(&m_client, &TbcsNNTP::OnCanceled, &loop, [&] {
        error = QStringLiteral("interrupted");
        loop.quit();
    });
    connect(&m_signals, &TSignalPipe::Interrupted, &loop, [this] { m_client.Cancel(); });
    start();
    // The client's own time-outs end a server that does not answer.
    loop.exec();
    m_client.Quit();
    return error;
}
