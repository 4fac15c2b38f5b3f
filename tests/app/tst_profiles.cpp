#include "FakeClock.h"
#include "NoKeyring.h"
#include "ProfileOwnerStub.h"
#include "ScriptedView.h"
#include "base/AppState.h"
#include "base/PasswordScrambler.h"
#include "app/Profiles.h"
#include "base/ServerList.h"
#include "base/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// One profile store in a temporary folder, as the program sees it.
struct ProfilesFixture
{
    TNoKeyring keyring;
    QTemporaryDir dir;
    TFakeClock clock;
    TScriptedView view;
    TAppState state;
    std::unique_ptr<TSettingsStore> store;
    std::unique_ptr<TProfiles> profiles;
    TProfileOwnerStub owner;

    ProfilesFixture() { open(); }

    QString iniPath() const { return dir.filePath("Quorvel.ini"); }

    void open()
    {
        profiles.reset();
        store = std::make_unique<TSettingsStore>(iniPath());
        state.ProgramDir = dir.path() + "/";
        state.SetProfile(state.ProfileName);
        profiles = std::make_unique<TProfiles>(state, *store, keyring, view, clock, owner);
        view.FollowProfiles(*profiles);
        view.FollowCommands(state.Commands);
    }

    QString raw(const QString& key) const
    {
        QSettings ini(iniPath(), QSettings::IniFormat);
        return ini.value(key).toString();
    }
};

class TestProfiles : public QObject
{
    Q_OBJECT
private slots:
    void firstStartDefaults();
    void settingsRoundTrip();
    void loginOffClearsCredentials();
    void rememberPasswordOff();
    void dialupPasswordAlwaysScrambled();
    void plainStoredPasswordIsUsed();
    void profileListSortedAndUnique();
    void profileListAddsCurrent();
    void newProfile();
    void newProfileSameNameOtherCase();
    void newProfileCancelled();
    void switchProfileSavesTheOneLeft();
    void deleteProfile();
    void deleteDefaultProfile();
    void settingsFileIsPrivate();
    void changeMadeElsewhereSurvives();
    void unusableNamesMakeNoProfile_data();
    void unusableNamesMakeNoProfile();
    void namesMatchRegardlessOfCase();
    void oneServerFileUnchanged_data();
    void oneServerFileUnchanged();
    void furtherServersRoundTrip();
    void serverListOrder_data();
    void serverListOrder();
};

void TestProfiles::firstStartDefaults()
{
    ProfilesFixture f;
    f.profiles->ReadVariables();
    f.profiles->ReadProfiles();
    const ProfileSettings& s = f.state.Settings;
    const ProfileSettings def;
    QCOMPARE(f.view.Profiles, QStringList{"Default"});
    QCOMPARE(f.view.SelectedProfile, 0);
    // No example name or address: the window shows placeholders, a post without an address
    // is refused.
    QVERIFY(s.FullName.isEmpty() && s.EmailAddress.isEmpty());
    QCOMPARE(s.Host, QStringLiteral("localhost"));
    QCOMPARE(s.Timeout, qint16(60));
    QCOMPARE(s.PostTimeout, qint16(30));
    QCOMPARE(s.Template, QStringLiteral("%s - \"%f\" yEnc (%p/%t) %b"));
    QCOMPARE(s.Encoding, QStringLiteral("yenc"));
    QCOMPARE(s.Connections, qint16(4));
    QCOMPARE(s.PostRetries, qint16(2));
    QVERIFY(s.CheckAfterPost);
    QCOMPARE(s.LastSubject, QStringLiteral("Type Subject Here"));
    QCOMPARE(s.LastDir, QDir::homePath()); // not the program folder: files are in the home
    QVERIFY(s.DisconnectWhenDone && s.CrossPost && s.AutoStart && s.RASUseAnotherConnection);
    QVERIFY(!s.LoginRequired && !s.RememberPassword && !s.IncludeText && !s.RASOpenBefore);
    QVERIFY(!s.RASCloseConnectionAfter && !s.SaveRasPassword);
    // A new profile posts yEnc parts of about 700 KB, in the window and the terminal alike;
    // a stored profile's missing values keep their old defaults.
    QCOMPARE(s.MaxLines, NewProfileSettings().MaxLines);
    QCOMPARE(s.MaxLines, 5600);
    QCOMPARE(def.Encoding, QStringLiteral("uuencode"));
    QCOMPARE(def.MaxLines, 0);
    QCOMPARE(f.state.CurrentProcName(), QStringLiteral("ReadProfiles"));
}

void TestProfiles::settingsRoundTrip()
{
    ProfilesFixture f;
    ProfileSettings& s = f.state.Settings;
    s.EmailAddress = "me@example.org";
    s.FullName = "Me, Myself";
    s.Organization = "Org";
    s.ReplyTo = "reply@example.org";
    s.LoginRequired = true;
    s.UserID = "user";
    s.RememberPassword = true;
    s.Password = "p a,s\"s";
    s.Host = "news.example.org:1119";
    s.Timeout = -5;
    s.PostTimeout = 0;
    s.MaxLines = 5000;
    s.CrossPost = false;
    s.AutoStart = false;
    s.RASConnection = "VPN";
    s.RASPassword = "dial";
    f.view.Subject = "My subject";
    f.view.Folder = "/srv/files";
    f.profiles->SaveVariables();
    f.open();
    f.profiles->ReadVariables();
    const ProfileSettings& r = f.state.Settings;
    QCOMPARE(r.EmailAddress, s.EmailAddress);
    QCOMPARE(r.FullName, s.FullName);
    QCOMPARE(r.Password, QStringLiteral("p a,s\"s"));
    QCOMPARE(r.Host, s.Host);
    QCOMPARE(r.Timeout, qint16(-5));
    QCOMPARE(r.PostTimeout, qint16(0));
    QCOMPARE(r.MaxLines, 5000);
    QVERIFY(!r.CrossPost && !r.AutoStart);
    QCOMPARE(r.LastSubject, QStringLiteral("My subject")); // from the Subject field
    QCOMPARE(r.LastDir, QStringLiteral("/srv/files"));     // from the folder tree
    QCOMPARE(r.RASPassword, QStringLiteral("dial"));
    QVERIFY(f.raw("Default/Password") != "p a,s\"s");
}

void TestProfiles::loginOffClearsCredentials()
{
    ProfilesFixture f;
    f.state.Settings.LoginRequired = false;
    f.state.Settings.UserID = "user";
    f.state.Settings.Password = "secret";
    f.state.Settings.RememberPassword = true;
    f.profiles->SaveVariables();
    QCOMPARE(f.raw("Default/UserID"), QString());
    QCOMPARE(f.raw("Default/Password"), QString());
    QCOMPARE(f.raw("Default/RememberPassword"), QStringLiteral("0"));
}

void TestProfiles::rememberPasswordOff()
{
    ProfilesFixture f;
    f.state.Settings.LoginRequired = true;
    f.state.Settings.UserID = "user";
    f.state.Settings.Password = "secret";
    f.state.Settings.RememberPassword = false;
    f.profiles->SaveVariables();
    QCOMPARE(f.raw("Default/Password"), QString());
    f.profiles->ReadVariables();
    QCOMPARE(f.state.Settings.Password, QString());
    QCOMPARE(f.state.Settings.UserID, QStringLiteral("user"));
}

void TestProfiles::dialupPasswordAlwaysScrambled()
{
    ProfilesFixture f;
    f.state.Settings.SaveRasPassword = false;
    f.state.Settings.RASPassword = "abc";
    f.profiles->SaveVariables();
    QCOMPARE(f.raw("Default/RASPassword"), PasswordScrambler::Scramble("abc", f.clock.Ticks));
}

void TestProfiles::plainStoredPasswordIsUsed()
{
    ProfilesFixture f;
    {
        QSettings ini(f.iniPath(), QSettings::IniFormat);
        ini.setValue("Default/RememberPassword", 1);
        ini.setValue("Default/Password", "typed-by-hand");
    }
    f.open();
    f.profiles->ReadVariables();
    QCOMPARE(f.state.Settings.Password, QStringLiteral("typed-by-hand"));
}

void TestProfiles::profileListSortedAndUnique()
{
    ProfilesFixture f;
    f.store->WriteString("Common", "Profiles", "Zeta,alpha,\"My Work\",ALPHA,Default");
    f.profiles->ReadProfiles();
    QCOMPARE(f.view.Profiles, (QStringList{"alpha", "Default", "My Work", "Zeta"}));
    QCOMPARE(f.view.SelectedProfile, 1);
    f.profiles->SaveProfiles();
    QCOMPARE(f.raw("Common/Profiles"), QStringLiteral("alpha,Default,\"My Work\",Zeta"));
}

void TestProfiles::profileListAddsCurrent()
{
    ProfilesFixture f;
    f.state.SetProfile("Work");
    f.store->WriteString("Common", "Profiles", "Default");
    f.profiles->ReadProfiles();
    QCOMPARE(f.view.Profiles, (QStringList{"Default", "Work"}));
    QCOMPARE(f.view.SelectedProfile, 1);
}

void TestProfiles::newProfile()
{
    ProfilesFixture f;
    f.profiles->ReadVariables();
    f.profiles->ReadProfiles();
    f.view.Subject = "left behind";
    f.view.InputAnswers.enqueue(QStringLiteral("Work"));
    f.profiles->NewProfileClick();
    QCOMPARE(f.view.Calls.first(),
             QStringLiteral("Input: New Profile|Enter new profile name|Default"));
    QCOMPARE(f.state.ProfileName, QStringLiteral("Work"));
    QCOMPARE(f.state.NewsrcPath, f.state.ProgramDir + "newsrc.Work");
    QCOMPARE(f.view.Profiles, (QStringList{"Default", "Work"}));
    QCOMPARE(f.view.SelectedProfile, 1);
    QCOMPARE(f.view.SetupOpened, 1);
    QCOMPARE(f.owner.Loads, 1);
    QCOMPARE(f.view.Subject, QStringLiteral("Type Subject Here")); // the new profile's default
    QCOMPARE(f.raw("Default/LastSubject"), QStringLiteral("left behind"));
    QVERIFY(!f.view.Busy);
}

void TestProfiles::newProfileSameNameOtherCase()
{
    ProfilesFixture f;
    f.profiles->ReadProfiles();
    f.view.InputAnswers.enqueue(QStringLiteral("DEFAULT"));
    f.profiles->NewProfileClick();
    QCOMPARE(f.state.ProfileName, QStringLiteral("Default"));
    QCOMPARE(f.view.Profiles, QStringList{"Default"});
    QCOMPARE(f.view.SetupOpened, 0);
    QCOMPARE(f.owner.Loads, 0);
}

void TestProfiles::newProfileCancelled()
{
    ProfilesFixture f;
    f.profiles->ReadProfiles();
    f.view.InputAnswers.enqueue(std::nullopt);
    f.profiles->NewProfileClick();
    QCOMPARE(f.state.ProfileName, QStringLiteral("Default"));
    QCOMPARE(f.view.SetupOpened, 0);
}

void TestProfiles::switchProfileSavesTheOneLeft()
{
    ProfilesFixture f;
    f.profiles->ReadVariables();
    f.state.Settings.FullName = "Changed";
    f.view.Folder = "/data";
    f.profiles->ProfilesComboBoxChange("Work");
    QCOMPARE(f.raw("Default/FullName"), QStringLiteral("Changed"));
    QCOMPARE(f.raw("Default/LastDir"), QStringLiteral("/data"));
    QCOMPARE(f.state.ProfileName, QStringLiteral("Work"));
    QCOMPARE(f.state.Settings.FullName, QString()); // a new profile's
    QCOMPARE(f.view.Folder, QDir::homePath());      // the new profile's LastDir default
    QCOMPARE(f.owner.Loads, 1);
}

void TestProfiles::deleteProfile()
{
    ProfilesFixture f;
    f.store->WriteString("Common", "Profiles", "Default,Work");
    f.state.SetProfile("Work");
    f.state.Settings.FullName = "Worker";
    f.profiles->SaveVariables();
    f.profiles->ReadProfiles();
    QFile newsrc(f.state.NewsrcPath);
    QVERIFY(newsrc.open(QIODevice::WriteOnly));
    newsrc.close();

    f.view.YesNoAnswers.enqueue(false);
    f.profiles->DeleteProfileClick();
    QCOMPARE(f.state.ProfileName, QStringLiteral("Work"));

    f.view.YesNoAnswers.enqueue(true);
    f.profiles->DeleteProfileClick();
    QCOMPARE(f.view.Questions.last(),
             QStringLiteral("Are you sure that you want to delete your Work profile?"));
    QCOMPARE(f.state.ProfileName, QStringLiteral("Default"));
    QCOMPARE(f.view.Profiles, QStringList{"Default"});
    QCOMPARE(f.view.SelectedProfile, 0);
    QVERIFY(!f.store->KeyExists("Work"));
    QVERIFY(QFile::exists(f.dir.filePath("newsrc.Work"))); // the group file stays
    f.profiles->SaveProfiles();
    QCOMPARE(f.raw("Common/Profiles"), QStringLiteral("Default"));
}

void TestProfiles::deleteDefaultProfile()
{
    ProfilesFixture f;
    f.state.Settings.FullName = "Someone";
    f.profiles->SaveVariables();
    f.profiles->ReadProfiles();
    f.view.YesNoAnswers.enqueue(true);
    f.profiles->DeleteProfileClick();
    QCOMPARE(f.view.SelectedProfile, -1); // nothing left to select
    QCOMPARE(f.state.ProfileName, QStringLiteral("Default"));
    QCOMPARE(f.state.Settings.FullName, QString());
    // The next start lists the profile again, since it is the current one.
    f.profiles->SaveProfiles();
    f.open();
    f.profiles->ReadProfiles();
    QCOMPARE(f.view.Profiles, QStringList{"Default"});
}

// A "profile set" made by the terminal while the window runs survives the window's save:
// the window writes back only what it changed.
void TestProfiles::changeMadeElsewhereSurvives()
{
    ProfilesFixture f;
    f.profiles->ReadVariables();
    f.profiles->SaveVariables();
    {
        TSettingsStore terminal(f.iniPath());
        terminal.WriteInteger("Default", "MaxLines", 5000);
        QCOMPARE(terminal.Sync(), QString());
    }
    f.state.Settings.FullName = "Changed Here";
    f.profiles->SaveVariables();
    QCOMPARE(f.raw("Default/MaxLines"), QStringLiteral("5000"));
    QCOMPARE(f.raw("Default/FullName"), QStringLiteral("Changed Here"));
}

void TestProfiles::settingsFileIsPrivate()
{
    // A copy a killed run left (its process has ended) goes at start-up; a running one's stays.
    QTemporaryDir dir;
    QProcess ended;
    ended.start("true");
    QVERIFY(ended.waitForFinished());
    const QString pid = QString::number(ended.processId() ? ended.processId() : 999999999);
    const QString stale = dir.filePath(".Quorvel.ini." + pid + ".AbC123");
    const QString live = dir.filePath(
        ".Quorvel.ini." + QString::number(QCoreApplication::applicationPid()) + ".XyZ789");
    for (const QString& copy : {stale, live})
        QVERIFY(QFile(copy).open(QIODevice::WriteOnly));
    const TSettingsStore store(dir.filePath("Quorvel.ini"));
    QVERIFY(!QFile::exists(stale) && QFile::exists(live));
    // The working copy sits beside the file, private.
    const QStringList copies =
        QDir(dir.path()).entryList({".Quorvel.ini.*"}, QDir::Files | QDir::Hidden);
    QCOMPARE(copies.size(), 2);
    for (const QString& copy : copies)
        if (dir.filePath(copy) != live)
            QCOMPARE(QFile::permissions(dir.filePath(copy)),
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    ProfilesFixture f;
    f.profiles->SaveVariables();
    const QFile::Permissions p = QFile::permissions(f.iniPath());
    QVERIFY(p & QFile::ReadOwner);
    QVERIFY(!(p & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther)));
}

void TestProfiles::unusableNamesMakeNoProfile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << "";
    QTest::newRow("blank") << " ";
    QTest::newRow("slash") << "a/b";
    QTest::newRow("climbing") << "../../etc";
    QTest::newRow("backslash") << "a\\b";
    QTest::newRow("tab") << "a\tb";
}

void TestProfiles::unusableNamesMakeNoProfile()
{
    QFETCH(QString, name);
    ProfilesFixture f;
    f.state.Settings.Host = "news.kept";
    f.profiles->SaveVariables();
    f.profiles->ReadProfiles();
    f.view.InputAnswers.enqueue(name);
    f.profiles->NewProfileClick();
    QCOMPARE(f.view.Warnings.size(), 1);
    QVERIFY2(f.view.Warnings.first().contains("profile"), qPrintable(f.view.Warnings.first()));
    QCOMPARE(f.state.ProfileName, QStringLiteral("Default"));
    QCOMPARE(f.view.Profiles, QStringList{"Default"});
    QCOMPARE(f.view.SetupOpened, 0);

    // Deleting under an empty key would have cleared every group of the file.
    f.store->DeleteKey(QString());
    f.store->Sync();
    QCOMPARE(f.raw("Default/Host"), QStringLiteral("news.kept"));
}

void TestProfiles::namesMatchRegardlessOfCase()
{
    ProfilesFixture f;
    f.store->WriteString("Common", "Profiles", "Default,Work");
    f.store->WriteString("Work", "Host", "news.work");
    f.store->Sync();
    f.profiles->ReadProfiles();

    f.profiles->ProfilesComboBoxChange("work");
    QCOMPARE(f.state.ProfileName, QStringLiteral("Work"));
    QCOMPARE(f.state.Settings.Host, QStringLiteral("news.work"));
    f.profiles->ProfilesComboBoxChange("Default");
    f.view.InputAnswers.enqueue(QStringLiteral("WORK"));
    f.profiles->NewProfileClick();
    QCOMPARE(f.state.ProfileName, QStringLiteral("Work"));
    QCOMPARE(f.state.Settings.Host, QStringLiteral("news.work"));
    QCOMPARE(f.view.Profiles, (QStringList{"Default", "Work"}));
    f.profiles->ProfilesComboBoxChange("Default");
    f.profiles->SwitchWithoutSaving("wOrK");
    QCOMPARE(f.state.NewsrcPath, f.state.ProgramDir + "newsrc.Work");
    QCOMPARE(f.state.Settings.Host, QStringLiteral("news.work"));
    f.profiles->SaveProfiles();
    QSettings ini(f.iniPath(), QSettings::IniFormat);
    QCOMPARE(ini.childGroups(), (QStringList{"Common", "Default", "Work"}));
}

void TestProfiles::oneServerFileUnchanged_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    // Files as the build before further servers wrote them: they load, and a save that
    // changes nothing leaves every byte as it was.
    QTest::newRow("tls server with port and login")
        << QByteArray("[Common]\nProfiles=Default\n\n[Default]\nHost=news.example.org:1563\n"
                      "LastDir=/srv\nLastSubject=s\nLoginRequired=true\nSecurity=tls\n"
                      "UserID=me\n")
        << "news.example.org" << 1563;
    QTest::newRow("defaults only")
        << QByteArray("[Default]\nLastDir=/srv\nLastSubject=s\n") << "localhost" << 0;
    QTest::newRow("bare IPv6 address")
        << QByteArray("[Default]\nHost=::1\nLastDir=/srv\nLastSubject=s\n") << "::1" << 0;
    QTest::newRow("host the client refuses, kept as typed")
        << QByteArray("[Default]\nHost=news:port\nLastDir=/srv\nLastSubject=s\n") << "news:port"
        << 0;
    QTest::newRow("IPv6 address") << QByteArray("[Default]\nHost=[::1]:119\nLastDir=/srv\n"
                                                "LastSubject=s\n")
                                  << "::1" << 119;
}

void TestProfiles::oneServerFileUnchanged()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, host);
    QFETCH(int, port);
    ProfilesFixture f;
    {
        QFile file(f.iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini);
    }
    f.open();
    f.view.Subject = "s";
    f.view.Folder = "/srv";
    f.profiles->ReadVariables();
    const TServerList list = TServerList::FromProfile(f.state.Settings);
    QCOMPARE(list.Entries().size(), 1);
    QCOMPARE(list.Entries()[0].Host, host);
    QCOMPARE(list.Entries()[0].Port, port);
    QCOMPARE(list.Entries()[0].Name, host);
    list.ToProfile(f.state.Settings); // the window's Setup stores the list back
    f.profiles->SaveVariables();
    QFile file(f.iniPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), ini);
}

void TestProfiles::furtherServersRoundTrip()
{
    ProfilesFixture f;
    f.profiles->ReadVariables();
    TServerList list = TServerList::FromProfile(f.state.Settings);
    TServerEntry b;
    b.Name = "Backup";
    b.Host = "backup.example.net";
    b.Port = 8563;
    b.Security = "tls";
    b.TrustedFingerprint = "AB:CD";
    b.LoginRequired = true;
    b.UserID = "bob";
    b.Password = "b p,w";
    b.Connections = 6;
    b.Priority = 1;
    b.ProxyHost = "proxy.lan";
    b.ProxyPort = 1081;
    b.ProxyUser = "pu";
    b.ProxyPassword = "pp";
    TServerEntry c;
    c.Name = "Checker";
    c.Host = "check.example.com";
    c.Role = TServerRole::Check;
    QCOMPARE(list.Add(b), QString());
    QCOMPARE(list.Add(c), QString());
    QVERIFY(list.Add(c).contains("already")); // names are unique
    list.ToProfile(f.state.Settings);
    f.state.Settings.ProxyPassword = "first proxy";
    f.profiles->SaveVariables();
    QVERIFY(f.raw("Default/Server1Password") != "b p,w"); // scrambled without a keyring
    f.open();
    f.profiles->ReadVariables();
    const TServerList read = TServerList::FromProfile(f.state.Settings);
    QCOMPARE(read.Entries().size(), 3);
    QVERIFY(read.Entries()[1] == b);
    QVERIFY(read.Entries()[2] == c);
    QCOMPARE(f.state.Settings.ProxyPassword, QStringLiteral("first proxy"));
    // Back to one server: the further servers' keys leave the file.
    TServerList one = read;
    QCOMPARE(one.Remove("backup"), QString());
    QCOMPARE(one.Remove("Checker"), QString());
    QVERIFY(!one.Remove(one.Entries()[0].Name).isEmpty()); // the only server stays
    one.ToProfile(f.state.Settings);
    f.profiles->SaveVariables();
    QSettings ini(f.iniPath(), QSettings::IniFormat);
    for (const QString& key : ini.allKeys())
        QVERIFY2(
            !QRegularExpression("^Default/Servers?\\d*$|^Default/Server\\d").match(key).hasMatch(),
            qPrintable(key));
}

void TestProfiles::serverListOrder_data()
{
    QTest::addColumn<QString>("roles");   // role:priority per server, the profile's first
    QTest::addColumn<QString>("posting"); // the post order, by index
    QTest::addColumn<int>("checker");     // -1: the posting server checks
    QTest::newRow("one server") << "post:0"
                                << "0" << -1;
    QTest::newRow("lower priority first") << "post:2,post:0,post:1"
                                          << "1,2,0" << -1;
    QTest::newRow("equal priorities keep order") << "post:1,post:0,post:1"
                                                 << "1,0,2" << -1;
    QTest::newRow("check only server") << "post:0,both:1,check:0"
                                       << "0,1" << 2;
    QTest::newRow("both when no check only") << "post:0,both:1"
                                             << "0,1" << 1;
}

void TestProfiles::serverListOrder()
{
    QFETCH(QString, roles);
    QFETCH(QString, posting);
    QFETCH(int, checker);
    QList<TServerEntry> entries;
    for (const QString& item : roles.split(',')) {
        TServerEntry e;
        e.Name = QString::number(entries.size());
        e.Host = "h";
        e.Role = *ServerRoleFromText(item.section(':', 0, 0));
        e.Priority = item.section(':', 1).toInt();
        entries << e;
    }
    const TServerList list(entries);
    QStringList order;
    for (const TServerEntry& e : list.PostOrder())
        order << e.Name;
    QCOMPARE(order.join(','), posting);
    const TServerEntry* check = list.CheckServer();
    QCOMPARE(check ? check->Name.toInt() : -1, checker);
}

QTEST_GUILESS_MAIN(TestProfiles)
#include "tst_profiles.moc"
