#pragma once

#include "FakeNntpServer.h"
#include "RunnerFixture.h"
#include "TestFiles.h"
#include "base/CommaText.h"
#include "article/NewsArticle.h"
#include "upload/UploadJournal.h"
#include "upload/UploadPoster.h"

#include <QFile>
#include <QRandomGenerator>

// The runner, the news client and the upload poster wired as the program wires them, with a
// private folder for the files to post.
struct UploadFixture : RunnerFixture
{
    TNewsArticle article;
    TUploadPoster poster{article, client, list, runner, view, logger, state};

    UploadFixture()
    {
        state.Settings.AutoStart = true;
        state.Settings.CheckDelay = 0;
        client.SetArticle(&article);
        runIdleFromEventLoop();
    }

    QString write(const QString& name, const QByteArray& bytes) const
    {
        const QString path = dir.filePath(name);
        if (!TestFiles::Write(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // A text file of count lines "line 1", "line 2", ...
    QString writeLines(const QString& name, int count) const
    {
        QByteArray bytes;
        for (int i = 1; i <= count; ++i)
            bytes += "line " + QByteArray::number(i) + "\r\n";
        return write(name, bytes);
    }

    QString writeRandom(const QString& name, qint64 size, quint32 seed = 1) const
    {
        return write(name, TestFiles::Random(size, seed));
    }

    // What the journal of the batch holds, article by article.
    QList<TJournalArticle> journal(const QString& batch) const
    {
        QString error;
        const auto read =
            TUploadJournal::Read(state.DataFile("journals/" + batch + ".journal"), &error);
        if (!read)
            qWarning("%s", qPrintable(error));
        return read ? read->Articles() : QList<TJournalArticle>();
    }

    // An upload task as the task builder makes it.
    TTask upload(const QString& path, const QString& server, int maxLines,
                 const QString& groups = QStringLiteral("alt.test")) const
    {
        TTask t;
        t.Kind = tkUpload;
        t.Text1 = path;
        t.Text2 = QStringLiteral("me@example.com (Me)");
        t.Text5 = CommaText::Write({"%s - %f (%p/%t) %b Bytes", "Pics", path});
        t.Text6 = groups;
        t.Text8 = server;
        t.Text9 = QStringLiteral(",");
        t.Timeout = 10;
        t.PostTimeout = 10;
        t.MaxLines = maxLines;
        return t;
    }
};

// One article as the server received it: its header lines and body lines.
struct ReceivedArticle
{
    QStringList Headers;
    QStringList Body;

    explicit ReceivedArticle(const QByteArray& raw)
    {
        const QStringList lines = QString::fromUtf8(raw).split("\r\n");
        const qsizetype blank = lines.indexOf(QString());
        Headers = lines.mid(0, blank);
        if (blank >= 0)
            Body = lines.mid(blank + 1);
    }

    QString Header(const QString& name) const
    {
        for (const QString& h : Headers)
            if (h.startsWith(name + ": "))
                return h.mid(name.size() + 2);
        return QString();
    }
};
