#include "ui/FirstStartWizard.h"
#include "ui/PasswordDlg.h"
#include "ui/SetupForm.h"
#include "ui/SetupForm2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

namespace {

template <typename T> T* Control(QWidget* form, const char* name)
{
    auto* control = form->findChild<T*>(QLatin1String(name));
    if (!control)
        qFatal("no control %s", name);
    return control;
}

ProfileSettings WithLogin()
{
    ProfileSettings s;
    s.LoginRequired = true;
    s.UserID = QStringLiteral("ann");
    s.Password = QStringLiteral("pw");
    s.RememberPassword = true;
    return s;
}

ProfileSettings WithDialup()
{
    ProfileSettings s;
    s.RASOpenBefore = true;
    s.RASConnection = QStringLiteral("Mobile");
    s.RASUserName = QStringLiteral("dialer");
    s.RASPassword = QStringLiteral("dialpw");
    s.RASCloseConnectionAfter = true;
    s.RASUseAnotherConnection = false;
    return s;
}

QStringList EntryNames()
{
    return {QStringLiteral("DSL"), QStringLiteral("Mobile")};
}

// The dial-up component's list of entries, answering at once.
void Entries(const TSetupForm2::TEntriesDone& done)
{
    done(EntryNames());
}

} // namespace

class TestSetupForm : public QObject
{
    Q_OBJECT
private slots:
    void loginOffEmptiesAndDisables_data();
    void loginOffEmptiesAndDisables();
    void loginCheckedByUserEnablesThenUncheckEmpties();
    void numberFallbacks_data();
    void numberFallbacks();
    void settingsRoundTrip();
    void deliveryPage();
    void dialupOffEmptiesButKeepsConnection();
    void dialupFillSelectsExactEntry_data();
    void dialupFillSelectsExactEntry();
    void dialupPickEmptiesLogin();
    void dialupCheckedByUserListsEntries();
    void passwordDialogValues();
    void serverListKeepsOrderRolesAndFields();
    void firstStartWizardFillsTheProfile();
};

void TestSetupForm::loginOffEmptiesAndDisables_data()
{
    QTest::addColumn<bool>("fourPages");
    QTest::newRow("no dial-up page") << false;
    QTest::newRow("with the dial-up page") << true;
}

void TestSetupForm::loginOffEmptiesAndDisables()
{
    QFETCH(bool, fourPages);
    ProfileSettings s = WithLogin();
    s.LoginRequired = false;
    std::unique_ptr<TSetupForm> form =
        fourPages ? std::make_unique<TSetupForm2>(s, Entries) : std::make_unique<TSetupForm>(s);
    auto* user = Control<QLineEdit>(form.get(), "UserID");
    auto* password = Control<QLineEdit>(form.get(), "Password");
    auto* remember = Control<QCheckBox>(form.get(), "RememberPasswordCheckbox");
    QVERIFY(user->text().isEmpty() && !user->isEnabled());
    QVERIFY(password->text().isEmpty() && !password->isEnabled());
    QVERIFY(!remember->isChecked() && !remember->isEnabled());
    const ProfileSettings out = form->Settings();
    QVERIFY(!out.LoginRequired);
    QVERIFY(out.UserID.isEmpty() && out.Password.isEmpty() && !out.RememberPassword);
}

void TestSetupForm::loginCheckedByUserEnablesThenUncheckEmpties()
{
    TSetupForm form(ProfileSettings{});
    auto* login = Control<QCheckBox>(&form, "LoginCheckBox");
    auto* user = Control<QLineEdit>(&form, "UserID");
    auto* password = Control<QLineEdit>(&form, "Password");
    auto* remember = Control<QCheckBox>(&form, "RememberPasswordCheckbox");
    login->click();
    QVERIFY(user->isEnabled() && password->isEnabled() && remember->isEnabled());
    user->setText(QStringLiteral("bob"));
    password->setText(QStringLiteral("x"));
    remember->click();
    ProfileSettings out = form.Settings();
    QVERIFY(out.LoginRequired && out.RememberPassword);
    QCOMPARE(out.UserID, QStringLiteral("bob"));

    login->click();
    QVERIFY(user->text().isEmpty() && password->text().isEmpty() && !remember->isChecked());
    QVERIFY(!user->isEnabled());

    // A profile with a login keeps its values when the dialog opens.
    TSetupForm withLogin(WithLogin());
    out = withLogin.Settings();
    QCOMPARE(out.UserID, QStringLiteral("ann"));
    QCOMPARE(out.Password, QStringLiteral("pw"));
    QVERIFY(out.RememberPassword);
    QCOMPARE(Control<QLineEdit>(&withLogin, "Password")->echoMode(), QLineEdit::Password);
}

void TestSetupForm::numberFallbacks_data()
{
    QTest::addColumn<bool>("fourPages");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("postTimeout");
    QTest::addColumn<int>("maxLines");

    QTest::newRow("letters, no dial-up page") << false << "abc" << 60 << 30 << 0;
    QTest::newRow("letters, with the dial-up page") << true << "abc" << 0 << 0 << 0;
    QTest::newRow("empty, no dial-up page") << false << "" << 60 << 30 << 0;
    QTest::newRow("number, no dial-up page") << false << "45" << 45 << 45 << 45;
    QTest::newRow("blanks around, with the dial-up page") << true << " 120 " << 120 << 120 << 120;
    QTest::newRow("negative") << false << "-5" << -5 << -5 << -5;
    // Too big for the 16-bit time-outs: the fall-back, not a wrapped value.
    QTest::newRow("too big for 16 bits, no dial-up page") << false << "70000" << 60 << 30 << 70000;
    QTest::newRow("too big for 16 bits, with the dial-up page")
        << true << "70000" << 0 << 0 << 70000;
    QTest::newRow("too big for 32 bits") << false << "3000000000" << 60 << 30 << 0;
    QTest::newRow("decimal point") << true << "1.5" << 0 << 0 << 0;
}

void TestSetupForm::numberFallbacks()
{
    QFETCH(bool, fourPages);
    QFETCH(QString, text);
    ProfileSettings s;
    s.Timeout = 11;
    s.PostTimeout = 12;
    s.MaxLines = 13;
    std::unique_ptr<TSetupForm> form =
        fourPages ? std::make_unique<TSetupForm2>(s, Entries) : std::make_unique<TSetupForm>(s);
    QCOMPARE(Control<QLineEdit>(form.get(), "ConnectTimeout")->text(), QStringLiteral("11"));
    QCOMPARE(Control<QLineEdit>(form.get(), "MaxLines")->text(), QStringLiteral("13"));
    Control<QLineEdit>(form.get(), "ConnectTimeout")->setText(text);
    Control<QLineEdit>(form.get(), "PostTimeout")->setText(text);
    Control<QLineEdit>(form.get(), "MaxLines")->setText(text);
    const ProfileSettings out = form->Settings();
    QTEST(int(out.Timeout), "timeout");
    QTEST(int(out.PostTimeout), "postTimeout");
    QTEST(int(out.MaxLines), "maxLines");
}

void TestSetupForm::settingsRoundTrip()
{
    ProfileSettings s = WithLogin();
    s.EmailAddress = QStringLiteral("a@b.c");
    s.ReplyTo = QStringLiteral("r@b.c");
    s.Organization = QStringLiteral("Org");
    s.FullName = QStringLiteral("Ann");
    s.Host = QStringLiteral("news.example.org");
    s.DisconnectWhenDone = false;
    s.Template = QStringLiteral("%f %p/%t");
    s.IncludeText = true;
    s.SigFile = QStringLiteral("/home/ann/.signature");
    s.CrossPost = false;
    s.LastSubject = QStringLiteral("untouched");
    s.Encoding = QStringLiteral("YEnc");
    s.TextCharset = QStringLiteral("CP437"); // not in the list: kept as typed
    s.Par2Percent = 15;
    s.Par2Files = 4;
    s.Par2FileMB = 50;
    TSetupForm form(s);
    const ProfileSettings out = form.Settings();
    QCOMPARE(out.EmailAddress, s.EmailAddress);
    QCOMPARE(out.ReplyTo, s.ReplyTo);
    QCOMPARE(out.Organization, s.Organization);
    QCOMPARE(out.FullName, s.FullName);
    QCOMPARE(out.Host, s.Host);
    QCOMPARE(out.DisconnectWhenDone, false);
    QCOMPARE(out.Template, s.Template);
    QCOMPARE(out.IncludeText, true);
    QCOMPARE(out.SigFile, s.SigFile);
    QCOMPARE(out.CrossPost, false);
    QCOMPARE(out.LastSubject, s.LastSubject);
    QCOMPARE(out.Encoding, QStringLiteral("yenc"));
    QCOMPARE(out.TextCharset, s.TextCharset);
    QCOMPARE(out.Par2Percent, 15);
    QCOMPARE(out.Par2Files, 4);
    QCOMPARE(out.Par2FileMB, 50);
    // Without recovery data there is nothing to divide into files; a share above the
    // setting's highest is not taken.
    auto* percent = form.findChild<QSpinBox*>(QStringLiteral("Par2Percent"));
    percent->setValue(0);
    QVERIFY(!form.findChild<QSpinBox*>(QStringLiteral("Par2Files"))->isEnabled());
    percent->setValue(250);
    QCOMPARE(form.Settings().Par2Percent, 100);
    // The yEnc template is one click away, and it brings the encoding its subjects name;
    // the setting holds what the field holds.
    form.findChild<QComboBox*>(QStringLiteral("Encoding"))->setCurrentIndex(0);
    QCOMPARE(form.Settings().Encoding, QStringLiteral("uuencode"));
    form.findChild<QPushButton*>(QStringLiteral("YEncTemplate"))->click();
    QCOMPARE(form.Settings().Template, QStringLiteral("%s - \"%f\" yEnc (%p/%t) %b"));
    QCOMPARE(form.Settings().Encoding, QStringLiteral("yenc"));
    // The two forms differ in one label only.
    bool twoBlanks = false;
    for (auto* label : form.findChildren<QLabel*>())
        twoBlanks |= label->text() == QStringLiteral("Maximum  lines per article:");
    QVERIFY(twoBlanks);
}

void TestSetupForm::deliveryPage()
{
    // The Delivery page shows and edits the accounting settings, numbers within the values
    // each setting takes; the check's numbers are off while the check is.
    ProfileSettings s;
    s.MessageIdDomain = QStringLiteral("posts.example");
    s.NzbFolder = QStringLiteral("/srv/nzb");
    s.CheckAfterPost = false;
    s.CheckDelay = 30;
    s.CheckRounds = 4;
    s.PostRetries = 3;
    s.Connections = 4;
    s.SpeedLimit = 250;
    TSetupForm form(s);
    ProfileSettings out = form.Settings();
    QCOMPARE(out.MessageIdDomain, s.MessageIdDomain);
    QCOMPARE(out.NzbFolder, s.NzbFolder);
    QCOMPARE(out.CheckAfterPost, false);
    QCOMPARE(out.CheckDelay, qint16(30));
    QCOMPARE(out.CheckRounds, qint16(4));
    QCOMPARE(out.PostRetries, qint16(3));
    QCOMPARE(out.Connections, qint16(4));
    QCOMPARE(out.SpeedLimit, 250);
    QVERIFY(!Control<QSpinBox>(&form, "CheckDelay")->isEnabled());
    Control<QCheckBox>(&form, "CheckAfterPost")->setChecked(true);
    QVERIFY(Control<QSpinBox>(&form, "CheckDelay")->isEnabled());
    Control<QSpinBox>(&form, "CheckRounds")->setValue(0);
    Control<QSpinBox>(&form, "PostRetries")->setValue(5000);
    Control<QSpinBox>(&form, "Connections")->setValue(0);
    Control<QSpinBox>(&form, "SpeedLimit")->setValue(0);
    Control<QLineEdit>(&form, "NzbFolder")->clear();
    out = form.Settings();
    QCOMPARE(out.CheckAfterPost, true);
    QCOMPARE(out.CheckRounds, qint16(1));
    QCOMPARE(out.PostRetries, qint16(100));
    QCOMPARE(out.Connections, qint16(1));
    QCOMPARE(out.SpeedLimit, 0);
    QCOMPARE(out.NzbFolder, QString());
}

void TestSetupForm::dialupOffEmptiesButKeepsConnection()
{
    TSetupForm2 form(WithDialup(), Entries);
    auto* open = Control<QCheckBox>(&form, "RASOpenDialupCheckbox");
    auto* combo = Control<QComboBox>(&form, "ConnectionComboBox");
    QVERIFY(open->isChecked());
    QCOMPARE(combo->currentText(), QStringLiteral("Mobile"));
    QCOMPARE(Control<QLineEdit>(&form, "RASUserName")->text(), QStringLiteral("dialer"));

    open->click();
    QVERIFY(!combo->isEnabled() && combo->count() == 0);
    for (const char* name : {"RASUseOpenConnectionCheckbox", "RASCloseConnectionCheckBox"})
        QVERIFY(!Control<QCheckBox>(&form, name)->isEnabled());
    const ProfileSettings out = form.Settings();
    QVERIFY(!out.RASOpenBefore);
    QVERIFY(out.RASUserName.isEmpty() && out.RASPassword.isEmpty());
    QVERIFY(!out.RASCloseConnectionAfter);
    QCOMPARE(out.RASConnection, QStringLiteral("Mobile"));

    // Opened with dial-up off: the same, from the start.
    ProfileSettings off = WithDialup();
    off.RASOpenBefore = false;
    TSetupForm2 closed(off, Entries);
    const ProfileSettings out2 = closed.Settings();
    QVERIFY(out2.RASUserName.isEmpty() && !out2.RASCloseConnectionAfter);
    QCOMPARE(out2.RASConnection, QStringLiteral("Mobile"));
    QCOMPARE(Control<QComboBox>(&closed, "ConnectionComboBox")->count(), 0);
}

void TestSetupForm::dialupFillSelectsExactEntry_data()
{
    QTest::addColumn<QString>("connection");
    QTest::addColumn<int>("index");
    QTest::newRow("present") << "DSL" << 0;
    QTest::newRow("other case is no match") << "mobile" << -1;
    QTest::newRow("absent") << "Gone" << -1;
}

void TestSetupForm::dialupFillSelectsExactEntry()
{
    QFETCH(QString, connection);
    ProfileSettings s = WithDialup();
    s.RASConnection = connection;
    TSetupForm2 form(s, Entries);
    auto* combo = Control<QComboBox>(&form, "ConnectionComboBox");
    QCOMPARE(combo->count(), 2);
    QTEST(combo->currentIndex(), "index");
    // Filling the list is no pick: the login stays, the name stays.
    QCOMPARE(form.Settings().RASUserName, QStringLiteral("dialer"));
    QCOMPARE(form.Settings().RASConnection, connection);
}

void TestSetupForm::dialupPickEmptiesLogin()
{
    TSetupForm2 form(WithDialup(), Entries);
    auto* combo = Control<QComboBox>(&form, "ConnectionComboBox");
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    combo->setFocus();
    // Keyboard pick of the entry above "Mobile".
    QTest::keyClick(combo, Qt::Key_Up);
    QCOMPARE(combo->currentText(), QStringLiteral("DSL"));
    const ProfileSettings out = form.Settings();
    QCOMPARE(out.RASConnection, QStringLiteral("DSL"));
    QVERIFY(out.RASUserName.isEmpty() && out.RASPassword.isEmpty());
}

void TestSetupForm::dialupCheckedByUserListsEntries()
{
    // The entries arrive later, as from the bus.
    QList<TSetupForm2::TEntriesDone> pending;
    ProfileSettings s = WithDialup();
    s.RASOpenBefore = false;
    s.RASConnection = QStringLiteral("DSL");
    auto form = std::make_unique<TSetupForm2>(
        s, [&pending](const TSetupForm2::TEntriesDone& done) { pending << done; });
    QVERIFY(pending.isEmpty());
    auto* open = Control<QCheckBox>(form.get(), "RASOpenDialupCheckbox");
    auto* combo = Control<QComboBox>(form.get(), "ConnectionComboBox");
    open->click();
    QCOMPARE(pending.size(), 1);
    QVERIFY(combo->isEnabled());
    QCOMPARE(combo->count(), 0);
    pending.takeFirst()(EntryNames());
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->currentText(), QStringLiteral("DSL"));
    QVERIFY(Control<QLineEdit>(form.get(), "RASUserName")->isEnabled());
    QVERIFY(form->Settings().RASOpenBefore);

    // Unchecked and checked again: asked anew; unchecked before the answer: it is dropped.
    open->click();
    open->click();
    QCOMPARE(pending.size(), 1);
    open->click();
    pending.takeFirst()(EntryNames());
    QCOMPARE(combo->count(), 0);

    // An answer after the dialog closed does no harm.
    open->click();
    QCOMPARE(pending.size(), 1);
    form.reset();
    pending.takeFirst()(EntryNames());
}

void TestSetupForm::passwordDialogValues()
{
    TPasswordDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Login Information"));
    dialog.SetValues(QStringLiteral("u"), QStringLiteral("p"));
    QCOMPARE(dialog.Values().UserName, QStringLiteral("u"));
    QCOMPARE(dialog.Values().Password, QStringLiteral("p"));
    QCOMPARE(Control<QLineEdit>(&dialog, "Password")->echoMode(), QLineEdit::Password);
}

// The list and the fields above it show one server list: moving a server to the top puts
// its place, security and login into the fields, and what was typed there travels with the
// server that moves down; OK stores the order and each server's role.
void TestSetupForm::serverListKeepsOrderRolesAndFields()
{
    ProfileSettings s = WithLogin();
    s.Host = "main.example.org";
    TServerEntry backup;
    backup.Name = "Backup";
    backup.Host = "backup.example.net";
    backup.Port = 8563;
    backup.Security = "tls";
    backup.Priority = 1;
    TServerEntry checker;
    checker.Name = "Checker";
    checker.Host = "check.example.com";
    checker.Role = TServerRole::Check;
    s.FurtherServers = {backup, checker};
    TSetupForm form(s);
    auto* view = Control<QTreeWidget>(&form, "ServerListView");
    auto* host = Control<QLineEdit>(&form, "Server");
    QCOMPARE(view->topLevelItemCount(), 3);
    QCOMPARE(view->topLevelItem(2)->text(3), QStringLiteral("check"));

    for (int row : {2, 1}) {
        view->setCurrentItem(view->topLevelItem(row));
        Control<QPushButton>(&form, "ServerUp")->click();
    }
    QCOMPARE(host->text(), QStringLiteral("check.example.com"));
    QVERIFY(!Control<QCheckBox>(&form, "LoginCheckBox")->isChecked());
    ProfileSettings out = form.Settings();
    QCOMPARE(out.ServerName, QStringLiteral("Checker"));
    QCOMPARE(out.ServerRole, QStringLiteral("check"));
    QCOMPARE(out.FurtherServers.size(), 2);
    QCOMPARE(out.FurtherServers[0].Host, QStringLiteral("main.example.org"));
    QCOMPARE(out.FurtherServers[0].UserID, QStringLiteral("ann")); // its login went along
    QVERIFY(out.FurtherServers[1] == backup);

    host->setText("check2.example.com:1119");
    view->setCurrentItem(view->topLevelItem(0));
    Control<QPushButton>(&form, "ServerDown")->click();
    QCOMPARE(host->text(), QStringLiteral("main.example.org"));
    QCOMPARE(Control<QLineEdit>(&form, "UserID")->text(), QStringLiteral("ann"));
    out = form.Settings();
    QCOMPARE(out.Host, QStringLiteral("main.example.org"));
    QCOMPARE(out.FurtherServers[0].Name, QStringLiteral("Checker"));
    QCOMPARE(out.FurtherServers[0].Address(), QStringLiteral("check2.example.com:1119"));
    QCOMPARE(out.FurtherServers[0].Role, TServerRole::Check);
}

// The first start's guide: a new profile's "localhost" and empty address are not offered as
// values, and what is typed becomes the profile's server, login (kept) and From address.
void TestSetupForm::firstStartWizardFillsTheProfile()
{
    TFirstStartWizard wizard(NewProfileSettings());
    auto* host = Control<QLineEdit>(&wizard, "WizardHost");
    auto* email = Control<QLineEdit>(&wizard, "WizardEmail");
    QVERIFY(host->text().isEmpty() && !host->placeholderText().isEmpty());
    QVERIFY(email->text().isEmpty() && !email->placeholderText().isEmpty());
    host->setText("news.provider.net:443");
    Control<QComboBox>(&wizard, "WizardSecurity")->setCurrentIndex(2); // STARTTLS
    Control<QLineEdit>(&wizard, "WizardUser")->setText("ann");
    Control<QLineEdit>(&wizard, "WizardPassword")->setText("pw");
    Control<QLineEdit>(&wizard, "WizardFullName")->setText("Ann Poster");
    email->setText("ann@provider.net");
    const ProfileSettings s = wizard.Settings();
    QCOMPARE(s.Host, QStringLiteral("news.provider.net:443"));
    QCOMPARE(s.Security, QStringLiteral("starttls"));
    QVERIFY(s.LoginRequired && s.RememberPassword);
    QCOMPARE(s.UserID, QStringLiteral("ann"));
    QCOMPARE(s.Password, QStringLiteral("pw"));
    QCOMPARE(FromLine(s), QStringLiteral("ann@provider.net (Ann Poster)"));
    QCOMPARE(s.ServerName, QString());
    QCOMPARE(s.Encoding, QStringLiteral("yenc")); // the rest as a new profile starts
}

QTEST_MAIN(TestSetupForm)
#include "tst_setupform.moc"
