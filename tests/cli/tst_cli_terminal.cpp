#include "CliProcess.h"
#include "FakeNntpServer.h"
#include "RunUntil.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

// What a person at a terminal sees and types: questions asked and answered, a password
// read without echo, the progress bar drawn in place. The program runs under script(1),
// which gives it a terminal of its own.
class TestCliTerminal : public QObject
{
    Q_OBJECT

private slots:
    void questionAnsweredAtTheTerminal_data();
    void questionAnsweredAtTheTerminal();
    void passwordIsNotEchoed();
    void ctrlCAtAPromptChangesNothing();
    void progressShowsOnlyAtATerminal_data();
    void progressShowsOnlyAtATerminal();
    void longDownloadStaysQuiet_data();
    void longDownloadStaysQuiet();
    void textFromOutsideIsShownSafely();

private:
    // Starts quorvel-cli inside a terminal; everything it shows lands in the transcript.
    static std::unique_ptr<QProcess> startAtTerminal(const TCliProcess& cli,
                                                     const QStringList& args);
    static bool waitFor(QProcess& p, QByteArray& transcript, const QByteArray& text);
    static int finish(QProcess& p, QByteArray& transcript);
    // Runs at a terminal or as a script would; the transcript gets what was shown.
    static int run(const TCliProcess& cli, const QStringList& args, bool atTerminal,
                   QByteArray& transcript);
    static void terminalOrScript();
};

std::unique_ptr<QProcess> TestCliTerminal::startAtTerminal(const TCliProcess& cli,
                                                           const QStringList& args)
{
    QStringList quoted{TCliProcess::Binary()};
    quoted += args;
    for (QString& a : quoted)
        a = u'\'' + a.replace(u'\'', QLatin1String("'\\''")) + u'\'';
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUORVEL_HOME"), cli.Home());
    env.insert(QStringLiteral("QUORVEL_SETTINGS"), cli.SettingsFile());
    env.remove(QStringLiteral("QUORVEL_PASSWORD"));
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(env);
    p->start(QStringLiteral("script"), {"-qefc", quoted.join(u' '), QStringLiteral("/dev/null")});
    p->waitForStarted();
    return p;
}

bool TestCliTerminal::waitFor(QProcess& p, QByteArray& transcript, const QByteArray& text)
{
    return QTest::qWaitFor([&] { return (transcript += p.readAll()).contains(text); },
                           GuardMs(20000));
}

int TestCliTerminal::finish(QProcess& p, QByteArray& transcript)
{
    const auto r = TCliProcess::Finish(p);
    transcript += r.Out.toLocal8Bit();
    return r.ExitCode;
}

void TestCliTerminal::questionAnsweredAtTheTerminal_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("yes") << QByteArray("y") << true;
    QTest::newRow("no") << QByteArray("n") << false;
    QTest::newRow("just Enter") << QByteArray("") << false;
}

void TestCliTerminal::questionAnsweredAtTheTerminal()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, deleted);
    TCliProcess cli;
    QCOMPARE(cli.Run({"profile", "create", "Work"}).ExitCode, 0);
    QByteArray transcript;
    const auto p = startAtTerminal(cli, {"profile", "delete", "Work"});
    QVERIFY(waitFor(*p, transcript, "delete your Work profile? [y/N]"));
    p->write(answer + "\n");
    QCOMPARE(finish(*p, transcript), deleted ? 0 : 1);
    QCOMPARE(cli.Run({"profile", "list"}).Out.contains(QLatin1String("Work")), !deleted);
}

void TestCliTerminal::passwordIsNotEchoed()
{
    TCliProcess cli;
    QByteArray transcript;
    const auto p = startAtTerminal(cli, {"profile", "set-password"});
    QVERIFY(waitFor(*p, transcript, "User name: "));
    p->write("ann\n");
    QVERIFY(waitFor(*p, transcript, "Password: "));
    p->write("s3cret-at-tty\n");
    QCOMPARE(finish(*p, transcript), 0);
    QVERIFY(transcript.contains("ann")); // the user name is echoed as typed
    QVERIFY2(!transcript.contains("s3cret-at-tty"), transcript.constData());
    const QString shown = cli.Run({"profile", "show"}).Out;
    QVERIFY(shown.contains(QLatin1String("UserID = ann\n")));
    QVERIFY(shown.contains(QLatin1String("Password = (set)\n")));
}

void TestCliTerminal::ctrlCAtAPromptChangesNothing()
{
    TCliProcess cli;
    QCOMPARE(cli.Run({"profile", "set", "LoginRequired", "1"}).ExitCode, 0);
    QCOMPARE(cli.Run({"profile", "set", "UserID", "ann"}).ExitCode, 0);
    QByteArray transcript;
    const auto p = startAtTerminal(cli, {"profile", "set-password"});
    QVERIFY(waitFor(*p, transcript, "Password: "));
    p->write("\x03"); // the terminal turns it into SIGINT
    QCOMPARE(finish(*p, transcript), 130);
    QVERIFY(transcript.contains("interrupted"));
    QVERIFY(cli.Run({"profile", "show"}).Out.contains(QLatin1String("Password = (not set)\n")));
}

void TestCliTerminal::terminalOrScript()
{
    QTest::addColumn<bool>("atTerminal");
    QTest::newRow("terminal") << true;
    QTest::newRow("script") << false;
}

int TestCliTerminal::run(const TCliProcess& cli, const QStringList& args, bool atTerminal,
                         QByteArray& transcript)
{
    if (atTerminal) {
        const auto p = startAtTerminal(cli, args);
        return finish(*p, transcript);
    }
    const auto r = cli.Run(args);
    transcript = r.Err.toLocal8Bit();
    return r.ExitCode;
}

void TestCliTerminal::progressShowsOnlyAtATerminal_data()
{
    terminalOrScript();
}

void TestCliTerminal::progressShowsOnlyAtATerminal()
{
    QFETCH(bool, atTerminal);
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    TCliProcess cli;
    QCOMPARE(cli.SetServer(server.Server()).ExitCode, 0);
    const QString path = cli.Dir() + QStringLiteral("/file.txt");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    for (int i = 0; i < 2000; ++i)
        f.write(QByteArray::number(i) + " some text for the progress bar\n");
    f.close();
    const QStringList args{"post", path, "--group", "alt.test", "--subject", "progress"};

    QByteArray transcript;
    const int exitCode = run(cli, args, atTerminal, transcript);
    QVERIFY2(exitCode == 0, transcript.constData());
    QCOMPARE(server.Articles().size(), 1);
    // At a terminal one line redrawn in place: the batch, then the file and its part.
    QCOMPARE(transcript.contains("\r100% "), atTerminal);
    QCOMPARE(transcript.contains("file.txt part 1/1"), atTerminal);
    QVERIFY2(transcript.contains("quorvel-cli: done: 2 task(s) ended well"),
             transcript.constData());
    // A script gets a line for the file started and posted, and the result: no per cents.
    if (!atTerminal)
        QCOMPARE(transcript, ("Posting " + path + "\nPosted " + path +
                              ": 1 part(s)\nquorvel-cli: done: 2 task(s) ended well\n")
                                 .toLocal8Bit());
}

void TestCliTerminal::longDownloadStaysQuiet_data()
{
    terminalOrScript();
}

void TestCliTerminal::longDownloadStaysQuiet()
{
    // The status changes every ten groups: 2,000 times here.
    QFETCH(bool, atTerminal);
    constexpr int Groups = 20000;
    QList<QByteArray> list{"215 list follows"};
    for (int i = 0; i < Groups; ++i)
        list << "alt.quiet." + QByteArray::number(i) + " 10 1 y";
    list << ".";
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.On("LIST*", list);
    TCliProcess cli;
    QCOMPARE(cli.SetServer(server.Server()).ExitCode, 0);
    const QStringList args{"--yes", "groups", "download"};

    QByteArray transcript;
    const int exitCode = run(cli, args, atTerminal, transcript);
    QVERIFY2(exitCode == 0, transcript.constData());
    QVERIFY2(transcript.contains("quorvel-cli: done: "), transcript.constData());
    // At most a few lines a second at a terminal, none for a script.
    const qsizetype counted = transcript.count("Groups: ");
    QVERIFY2(atTerminal ? counted < Groups / 100 : counted == 0, transcript.constData());
    QCOMPARE(cli.Run({"groups", "list"}).Out.count(u'\n'), Groups);
}

void TestCliTerminal::textFromOutsideIsShownSafely()
{
    // A reply that would retitle and clear the terminal, and names that look like
    // placeholders, are shown as they are, with their control characters escaped.
    const QByteArray hostile = "441 \x1b]0;owned\x07\x1b[2Jrefused";
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost({hostile});
    TCliProcess cli;
    QCOMPARE(cli.SetServer(server.Server()).ExitCode, 0);
    const QString newsrc = cli.Dir() + QStringLiteral("/groups.newsrc");
    QFile f(newsrc);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("alt.%3.test: 1-10\nalt.%1%2.x: 1\nalt.m\xc3\xbcnchen: 1\n");
    f.close();
    QCOMPARE(cli.Run({"groups", "import", newsrc}).ExitCode, 0);
    const auto listed = cli.Run({"groups", "list"});
    QVERIFY2(listed.Out.contains(QLatin1String("alt.%3.test\t")), qPrintable(listed.Out));
    QVERIFY2(listed.Out.contains(QLatin1String("alt.%1%2.x\t")), qPrintable(listed.Out));
    QVERIFY2(listed.Out.contains(QStringLiteral("alt.münchen\t")), qPrintable(listed.Out));

    const QString file = cli.Dir() + QStringLiteral("/a.txt");
    QFile body(file);
    QVERIFY(body.open(QIODevice::WriteOnly));
    body.write("hello\n");
    body.close();
    const auto posted = cli.Run({"post", file, "--group", "alt.%3.test"}, 20000);
    QCOMPARE(posted.ExitCode, 1);
    QVERIFY2(!posted.Err.contains(QChar(0x1b)) && !posted.Err.contains(QChar(0x07)),
             qPrintable(posted.Err));
    QVERIFY2(posted.Err.contains(QLatin1String("\\x1B]0;owned\\x07\\x1B[2Jrefused")),
             qPrintable(posted.Err));

    // quorvel-uucode names the file of a begin line, whose control characters became "_".
    QDir dir(cli.Dir());
    QFile encoded(dir.filePath(QStringLiteral("named.uue")));
    QVERIFY(encoded.open(QIODevice::WriteOnly));
    encoded.write("begin 644 x\x1b[2Jy\n#86)C\n`\nend\n");
    encoded.close();
    QProcess uucode;
    uucode.start(qEnvironmentVariable("QUORVEL_BINARY_DIR") + QStringLiteral("/quorvel-uucode"),
                 {encoded.fileName()});
    QVERIFY(uucode.waitForFinished(20000));
    const QByteArray said = uucode.readAllStandardError();
    QVERIFY2(!said.contains('\x1b'), said.constData());
    QVERIFY2(said.contains("x_[2Jy"), said.constData());
}

QTEST_GUILESS_MAIN(TestCliTerminal)
#include "tst_cli_terminal.moc"
