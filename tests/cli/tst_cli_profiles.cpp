#include "CliProcess.h"
#include "SmallDisk.h"

#include <QDir>

#include <QSettings>
#include <QTest>

// The command line itself and the profile commands, run through the real executable.
class TestCliProfiles : public QObject
{
    Q_OBJECT

private slots:
    void helpListsEveryCommand();
    void commandHelp_data();
    void commandHelp();
    void badCommandLines_data();
    void badCommandLines();
    void setAndShowRoundTrip_data();
    void setAndShowRoundTrip();
    void rejectedValuesChangeNothing_data();
    void rejectedValuesChangeNothing();
    void profileNamesRegardlessOfCase();
    void passwordFromEnvironmentIsStoredScrambled();
    void passwordWithoutTerminalOrEnvironmentFails();
    void createAndDeleteProfiles();
    void settingsNotReadAreNeverWritten();
    void settingsThatCannotBeSavedFail();
    void warningLeavesSuccessAlone();
    void completion_data();
    void completion();

private:
    static QString shown(const QString& showOutput, const QString& key);
};

QString TestCliProfiles::shown(const QString& showOutput, const QString& key)
{
    for (const QString& line : showOutput.split(u'\n'))
        if (line.startsWith(key + QStringLiteral(" = ")))
            return line.mid(key.size() + 3);
    return QStringLiteral("<missing>");
}

void TestCliProfiles::helpListsEveryCommand()
{
    TCliProcess cli;
    const auto r = cli.Run({QStringLiteral("--help")});
    QCOMPARE(r.ExitCode, 0);
    const char* commands[] = {
        "post FILE...",
        "groups download",
        "groups new",
        "groups list",
        "groups subscribe",
        "groups unsubscribe",
        "groups import FILE",
        "tasks show",
        "tasks run",
        "profile show",
        "profile set KEY VALUE",
        "profile set-password",
        "profile create NAME",
        "profile delete NAME",
        "profile list",
    };
    for (const char* c : commands)
        QVERIFY2(r.Out.contains(QLatin1String(c)), c);
    for (const char* o : {"--group", "--subject", "--lines", "--no-crosspost", "--catalog",
                          "--server", "--profile", "--yes", "--dialup"})
        QVERIFY2(r.Out.contains(QLatin1String(o)), o);
    for (const char* status : {"\n  0  ", "\n  1  ", "\n  2  ", "\n  3  ", "\n  130  "})
        QVERIFY2(r.Out.contains(QLatin1String("Exit status:")) &&
                     r.Out.contains(QLatin1String(status)),
                 status);

    const auto v = cli.Run({QStringLiteral("--version")});
    QCOMPARE(v.ExitCode, 0);
    QVERIFY(v.Out.startsWith(QLatin1String("quorvel-cli ")));
}

void TestCliProfiles::commandHelp_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("post") << QStringList{"post", "--help"}
                          << QStringList{"Usage: quorvel-cli [--profile NAME] [--yes] [--verbose] "
                                         "post [OPTIONS] FILE...\n",
                                         "--group GROUP", "--catalog FILE",
                                         "Example:\n  quorvel-cli post "};
    QTest::newRow("after its arguments")
        << QStringList{"groups", "subscribe", "alt.test", "--help"}
        << QStringList{"groups subscribe GROUP...\n", "Example:\n  quorvel-cli groups subscribe "};
    QTest::newRow("a command's option")
        << QStringList{"-h", "profile", "set-password"} << QStringList{"--dialup", "Example:"};
    QTest::newRow("an area") << QStringList{"groups", "--help"}
                             << QStringList{"groups download", "groups import FILE",
                                            "'quorvel-cli groups COMMAND --help'"};
}

void TestCliProfiles::commandHelp()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, shown);
    TCliProcess cli;
    const auto r = cli.Run(args);
    QCOMPARE(r.ExitCode, 0);
    for (const QString& text : shown)
        QVERIFY2(r.Out.contains(text), qPrintable(r.Out));
    // Only that command or area, not the whole help.
    QVERIFY2(!r.Out.contains(QLatin1String("profile list")), qPrintable(r.Out));
    QVERIFY(!r.Out.contains(QLatin1String("Exit status:")));
    QVERIFY(!QFile::exists(cli.SettingsFile())); // nothing started
}

void TestCliProfiles::badCommandLines_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("nothing") << QStringList{} << "no command given";
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << "unknown command";
    QTest::newRow("unknown sub-command") << QStringList{"groups", "eat"} << "unknown command";
    QTest::newRow("unknown option")
        << QStringList{"profile", "show", "--colour"} << "unknown option '--colour'";
    QTest::newRow("option of another command")
        << QStringList{"profile", "show", "--group", "alt.test"} << "has no option '--group'";
    QTest::newRow("value missing") << QStringList{"post", "f", "--group"} << "needs a value";
    QTest::newRow("switch with value")
        << QStringList{"groups", "list", "--new=1"} << "takes no value";
    QTest::newRow("argument missing")
        << QStringList{"profile", "set", "MaxLines"} << "needs KEY VALUE";
    QTest::newRow("group missing")
        << QStringList{"post", "file.bin"} << "'post' needs at least one --group GROUP";
    QTest::newRow("help of no command") << QStringList{"frobnicate", "--help"} << "unknown command";
    QTest::newRow("argument too many")
        << QStringList{"profile", "list", "extra"} << "takes no arguments";
    // A password never comes from the command line, where every user can read it.
    QTest::newRow("password as argument")
        << QStringList{"profile", "set-password", "secret"} << "takes no arguments";
}

void TestCliProfiles::badCommandLines()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    TCliProcess cli;
    const auto r = cli.Run(args);
    QCOMPARE(r.ExitCode, 2);
    QVERIFY2(r.Err.contains(message), qPrintable(r.Err));
    QVERIFY(r.Err.contains(QLatin1String("--help")));
    QVERIFY(!QFile::exists(cli.SettingsFile())); // nothing started
}

void TestCliProfiles::setAndShowRoundTrip_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shownAs");
    QTest::addColumn<QString>("storedAs");
    QTest::newRow("string") << "Host"
                            << "news.example.org:1119"
                            << "news.example.org:1119"
                            << "news.example.org:1119";
    QTest::newRow("string with blanks") << "FullName"
                                        << "Ann O. Nymous"
                                        << "Ann O. Nymous"
                                        << "Ann O. Nymous";
    QTest::newRow("key in other case") << "maxlines"
                                       << "5000"
                                       << "5000"
                                       << "5000";
    QTest::newRow("bool word") << "CrossPost"
                               << "no"
                               << "0"
                               << "0";
    QTest::newRow("bool digit") << "IncludeText"
                                << "1"
                                << "1"
                                << "1";
    QTest::newRow("16-bit edge") << "Timeout"
                                 << "32767"
                                 << "32767"
                                 << "32767";
    QTest::newRow("no time-out") << "PostTimeout"
                                 << "0"
                                 << "0"
                                 << "0";
    QTest::newRow("subject field") << "LastSubject"
                                   << "Holiday pictures"
                                   << "Holiday pictures"
                                   << "Holiday pictures";
    QTest::newRow("folder field") << "LastDir"
                                  << "/srv/upload/"
                                  << "/srv/upload/"
                                  << "/srv/upload/";
    QTest::newRow("encoding") << "Encoding"
                              << "yEnc"
                              << "yenc"
                              << "yenc";
}

void TestCliProfiles::setAndShowRoundTrip()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, shownAs);
    QFETCH(QString, storedAs);
    TCliProcess cli;
    QCOMPARE(cli.Run({"profile", "set", key, value}).ExitCode, 0);
    const auto r = cli.Run({"profile", "show"});
    QCOMPARE(r.ExitCode, 0);
    QVERIFY(r.Out.startsWith(QLatin1String("Profile: Default\n")));
    const QString canonical = QString(key).replace(QLatin1String("maxlines"), "MaxLines");
    QCOMPARE(shown(r.Out, canonical), shownAs);
    // The window reads the same store.
    QSettings ini(cli.SettingsFile(), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("Default/") + canonical).toString(), storedAs);
}

void TestCliProfiles::rejectedValuesChangeNothing_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown key") << "Colour"
                                 << "red"
                                 << "no setting named 'Colour'";
    QTest::newRow("not a number") << "MaxLines"
                                  << "many"
                                  << "whole number";
    QTest::newRow("16-bit overflow") << "Timeout"
                                     << "32768"
                                     << "Timeout takes a whole number from 0 to 32767, not '32768'";
    QTest::newRow("negative time-out") << "Timeout"
                                       << "-5"
                                       << "Timeout takes a whole number from 0 to 32767, not '-5'";
    QTest::newRow("negative post time-out")
        << "PostTimeout"
        << "-1"
        << "PostTimeout takes a whole number from 0 to 32767, not '-1'";
    QTest::newRow("negative lines")
        << "MaxLines"
        << "-5"
        << "MaxLines takes a whole number from 0 to 2147483647, not '-5'";
    QTest::newRow("not a bool") << "CrossPost"
                                << "perhaps"
                                << "takes 1 or 0";
    QTest::newRow("unknown encoding") << "Encoding"
                                      << "base64"
                                      << "Encoding takes uuencode, yenc, not 'base64'";
    QTest::newRow("password") << "Password"
                              << "secret"
                              << "profile set-password";
    QTest::newRow("dial-up password") << "RASPassword"
                                      << "secret"
                                      << "set-password --dialup";
}

void TestCliProfiles::rejectedValuesChangeNothing()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, message);
    TCliProcess cli;
    const auto before = cli.Run({"profile", "show"});
    const auto r = cli.Run({"profile", "set", key, value});
    QCOMPARE(r.ExitCode, 2);
    QVERIFY2(r.Err.contains(message), qPrintable(r.Err));
    QVERIFY(r.Err.contains(QLatin1String("Try 'quorvel-cli profile set --help'.")));
    QCOMPARE(cli.Run({"profile", "show"}).Out, before.Out);
}

void TestCliProfiles::profileNamesRegardlessOfCase()
{
    TCliProcess cli;
    const auto typo = cli.Run({"--profile", "Wrok", "profile", "show"});
    QCOMPARE(typo.ExitCode, 1);
    QVERIFY(typo.Err.contains(QLatin1String("no profile named 'Wrok'")));

    QCOMPARE(cli.Run({"profile", "create", "Work"}).ExitCode, 0);
    QCOMPARE(cli.Run({"--profile", "work", "profile", "set", "Host", "news.work"}).ExitCode, 0);
    const auto r = cli.Run({"--profile", "WORK", "profile", "show"});
    QCOMPARE(r.ExitCode, 0);
    QVERIFY(r.Out.startsWith(QLatin1String("Profile: Work\n")));
    QCOMPARE(shown(r.Out, "Host"), QStringLiteral("news.work"));
    QSettings ini(cli.SettingsFile(), QSettings::IniFormat);
    QVERIFY(!ini.childGroups().contains(QStringLiteral("work")));
    QVERIFY(!ini.childGroups().contains(QStringLiteral("WORK")));
}

void TestCliProfiles::passwordFromEnvironmentIsStoredScrambled()
{
    TCliProcess cli;
    // The user name is kept only while the server wants a login.
    const auto dropped = cli.Run({"profile", "set", "UserID", "ann"});
    QVERIFY(dropped.Err.contains(QLatin1String("kept only while LoginRequired is 1")));
    QCOMPARE(shown(cli.Run({"profile", "show"}).Out, "UserID"), QString());
    cli.Run({"profile", "set", "LoginRequired", "on"});
    cli.Run({"profile", "set", "UserID", "ann"});
    cli.SetEnv("QUORVEL_PASSWORD", "s3cret pass");
    QCOMPARE(cli.Run({"profile", "set-password"}).ExitCode, 0);
    cli.SetEnv("QUORVEL_DIALUP_PASSWORD", "dial-pw");
    QCOMPARE(cli.Run({"profile", "set-password", "--dialup"}).ExitCode, 0);

    const auto r = cli.Run({"profile", "show"});
    QCOMPARE(shown(r.Out, "Password"), QStringLiteral("(set)"));
    QCOMPARE(shown(r.Out, "RASPassword"), QStringLiteral("(set)"));
    QCOMPARE(shown(r.Out, "LoginRequired"), QStringLiteral("1"));
    QCOMPARE(shown(r.Out, "RememberPassword"), QStringLiteral("1"));
    QVERIFY(!r.Out.contains(QLatin1String("s3cret")));

    QFile ini(cli.SettingsFile());
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QByteArray stored = ini.readAll();
    QVERIFY(!stored.contains("s3cret"));
    QVERIFY(!stored.contains("dial-pw"));
    QVERIFY(stored.contains("UserID=ann"));
    QCOMPARE(ini.permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
}

void TestCliProfiles::passwordWithoutTerminalOrEnvironmentFails()
{
    TCliProcess cli;
    const auto r = cli.Run({"profile", "set-password"});
    QCOMPARE(r.ExitCode, 1);
    QVERIFY2(r.Err.contains(QLatin1String("QUORVEL_PASSWORD")), qPrintable(r.Err));
    QCOMPARE(shown(cli.Run({"profile", "show"}).Out, "Password"), QStringLiteral("(not set)"));
}

void TestCliProfiles::createAndDeleteProfiles()
{
    TCliProcess cli;
    QCOMPARE(cli.Run({"profile", "create", "Home Server"}).ExitCode, 0);
    QCOMPARE(cli.Run({"profile", "create", "home server"}).ExitCode, 1);
    for (const char* unsafe : {"../outside", "a\\b", "tab\there", " "}) {
        const auto r = cli.Run({"profile", "create", unsafe});
        QCOMPARE(r.ExitCode, 2);
        QVERIFY2(r.Err.contains(QLatin1String("profile")), qPrintable(r.Err));
    }
    QCOMPARE(cli.Run({"profile", "list"}).Out, QStringLiteral("* Default\n  Home Server\n"));
    // A profile made here starts as one the window makes, and so does the implicit Default.
    for (const char* name : {"Home Server", "Default"})
        QCOMPARE(shown(cli.Run({"--profile", name, "profile", "show"}).Out, "MaxLines"),
                 QStringLiteral("5600"));
    QVERIFY(QFile::exists(cli.Home() + QStringLiteral("/newsrc.Home Server")));

    // Deleting asks first: a script without --yes is refused and nothing goes.
    const auto refused = cli.Run({"profile", "delete", "Home Server"});
    QCOMPARE(refused.ExitCode, 1);
    QVERIFY(refused.Err.contains(QLatin1String("--yes")));
    QVERIFY(cli.Run({"profile", "list"}).Out.contains(QLatin1String("Home Server")));

    QCOMPARE(cli.Run({"--yes", "profile", "delete", "home server"}).ExitCode, 0);
    QCOMPARE(cli.Run({"profile", "list"}).Out, QStringLiteral("* Default\n"));
    QSettings ini(cli.SettingsFile(), QSettings::IniFormat);
    QVERIFY(!ini.childGroups().contains(QStringLiteral("Home Server")));
    QCOMPARE(cli.Run({"profile", "delete", "Home Server"}).ExitCode, 1);
}

void TestCliProfiles::settingsNotReadAreNeverWritten()
{
    TCliProcess cli;
    QVERIFY(QDir().mkpath(cli.SettingsFile()));
    for (const QStringList& args :
         {QStringList{"profile", "show"}, QStringList{"profile", "set", "Host", "news.example"}}) {
        const auto r = cli.Run(args);
        QCOMPARE(r.ExitCode, 1);
        QVERIFY2(r.Err.contains(cli.SettingsFile()), qPrintable(r.Err));
        QVERIFY(QFileInfo(cli.SettingsFile()).isDir());
    }
}

void TestCliProfiles::settingsThatCannotBeSavedFail()
{
    TCliProcess cli;
    const QString folder = cli.Dir() + QStringLiteral("/settings");
    TSmallDisk disk(folder);
    QString why;
    if (!disk.Mount(256, &why))
        QSKIP(qPrintable(QStringLiteral("no small disk for the settings: ") + why));
    const QString file = folder + QStringLiteral("/quorvel.ini");
    cli.SetEnv(QStringLiteral("QUORVEL_SETTINGS"), file);
    QCOMPARE(cli.Run({"profile", "set", "Host", "news.one"}).ExitCode, 0);
    QFile ini(file);
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QByteArray saved = ini.readAll();
    ini.close();
    const QFile::Permissions mode = ini.permissions();

    QVERIFY2(disk.Fill(&why), qPrintable(why));
    const auto full = cli.Run({"profile", "set", "Host", "news.two"});
    QCOMPARE(full.ExitCode, 1);
    QVERIFY2(full.Err.contains(file), qPrintable(full.Err));
    QVERIFY2(disk.MakeReadOnly(&why), qPrintable(why));
    const auto readOnly = cli.Run({"profile", "set", "Host", "news.three"});
    QCOMPARE(readOnly.ExitCode, 1);
    QVERIFY2(readOnly.Err.contains(file), qPrintable(readOnly.Err));

    QVERIFY(ini.open(QIODevice::ReadOnly));
    QCOMPARE(ini.readAll(), saved);
    QCOMPARE(ini.permissions(), mode);
    QCOMPARE(shown(cli.Run({"profile", "show"}).Out, "Host"), QStringLiteral("news.one"));
}

void TestCliProfiles::warningLeavesSuccessAlone()
{
    // A newsrc file with a torn last record is read with a warning; the command still works.
    TCliProcess cli;
    QCOMPARE(cli.ImportGroups("alt.one! 1-10\nalt.two! 1\n").ExitCode, 0);
    QFile newsrc(cli.Home() + QStringLiteral("/newsrc.Default"));
    QVERIFY(newsrc.open(QIODevice::Append));
    newsrc.write("xyz");
    newsrc.close();

    const auto r = cli.Run({"groups", "subscribe", "alt.two"});
    QVERIFY2(r.Err.contains(QLatin1String("quorvel-cli: warning: ")) &&
                 r.Err.contains(QLatin1String("3 bytes")),
             qPrintable(r.Err));
    QCOMPARE(r.ExitCode, 0);
    QCOMPARE(cli.Run({"groups", "list", "--subscribed"}).Out,
             QStringLiteral("alt.two\tsubscribed\t0\n"));
}

void TestCliProfiles::completion_data()
{
    // The bash completion's question: the index of the word being completed, then the words.
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("command") << QStringList{"0", "pro"} << QStringList{"profile"};
    QTest::newRow("second word") << QStringList{"1", "groups", "un"} << QStringList{"unsubscribe"};
    QTest::newRow("after a global option")
        << QStringList{"3", "--profile", "Work", "groups", "i"} << QStringList{"import"};
    QTest::newRow("option of the command")
        << QStringList{"1", "post", "--enc"} << QStringList{"--encoding"};
    QTest::newRow("option's words")
        << QStringList{"2", "post", "--encoding", ""} << QStringList{"uuencode", "yenc"};
    QTest::newRow("option's words after '='")
        << QStringList{"3", "post", "--encoding", "=", "y"} << QStringList{"yenc"};
    QTest::newRow("profile names")
        << QStringList{"1", "--profile", ""} << QStringList{"Default", "My Server"};
    QTest::newRow("profile to delete")
        << QStringList{"2", "profile", "delete", "my"} << QStringList{"My Server"};
    QTest::newRow("setting name, any case")
        << QStringList{"2", "profile", "set", "maxl"} << QStringList{"MaxLines"};
    QTest::newRow("no password setting")
        << QStringList{"2", "profile", "set", "Passw"} << QStringList{};
    QTest::newRow("setting's choices") << QStringList{"3", "profile", "set", "Security", ""}
                                       << QStringList{"none", "tls", "starttls"};
    QTest::newRow("yes or no") << QStringList{"3", "profile", "set", "CrossPost", ""}
                               << QStringList{"yes", "no"};
    QTest::newRow("files are the shell's") << QStringList{"1", "post", ""} << QStringList{};
    // The servers of the profile the line names (Default's: its own and Backup).
    const QStringList defaults{"localhost", "Backup"};
    QTest::newRow("server to change") << QStringList{"2", "server", "set", ""} << defaults;
    QTest::newRow("server to remove")
        << QStringList{"2", "server", "remove", "b"} << QStringList{"Backup"};
    QTest::newRow("server to test") << QStringList{"2", "server", "test", ""} << defaults;
    QTest::newRow("post through") << QStringList{"2", "post", "--server", ""} << defaults;
    QTest::newRow("check on, another profile")
        << QStringList{"4", "--profile", "My Server", "check", "--check-server", ""}
        << QStringList{"localhost", "Checker"};
    QTest::newRow("server field") << QStringList{"3", "server", "set", "Backup", "ro"}
                                  << QStringList{"role"};
    QTest::newRow("server field's words") << QStringList{"4", "server", "set", "Backup", "role", ""}
                                          << QStringList{"post", "check", "both"};
}

void TestCliProfiles::completion()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, expected);
    TCliProcess cli;
    QCOMPARE(cli.Run({"profile", "create", "My Server"}).ExitCode, 0);
    QCOMPARE(cli.Run({"server", "add", "Backup", "--host", "b.example.net"}).ExitCode, 0);
    QCOMPARE(cli.Run({"--profile", "My Server", "server", "add", "Checker", "--host",
                      "c.example.net", "--role", "check"})
                 .ExitCode,
             0);
    const auto r = cli.Run(QStringList{"--complete"} + args);
    QCOMPARE(r.ExitCode, 0);
    QCOMPARE(r.Out.split(u'\n', Qt::SkipEmptyParts), expected);
}

QTEST_GUILESS_MAIN(TestCliProfiles)
#include "tst_cli_profiles.moc"
