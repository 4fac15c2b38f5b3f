#include "DbusMockFixture.h"
#include "ModalDriver.h"
#include "dialup/RasConnection.h"
#include "ui/MainForm.h"
#include "ui/SetupForm2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

// The setup dialog's Dial-up page against NetworkManager (python3-dbusmock on a private
// system bus): the connection list holds the service's connection profiles.
class TestSetupDialup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void connectionListFromNetworkManager();
    void noNetworkManagerNoDialupPage();

private:
    TDbusMockFixture m_fixture;
};

void TestSetupDialup::initTestCase()
{
    QVERIFY2(m_fixture.StartBus(), qPrintable(m_fixture.Error()));
}

void TestSetupDialup::connectionListFromNetworkManager()
{
    QVERIFY2(m_fixture.ResetNetworkManager(), qPrintable(m_fixture.Error()));
    m_fixture.AddProfile(QStringLiteral("Provider DSL"), QStringLiteral("pppoe"), "alice", "pw");
    m_fixture.AddProfile(QStringLiteral("Mobile"), QStringLiteral("gsm"));
    TRasConnection dialup;
    QVERIFY(dialup.Available());

    TAppState state;
    state.Settings.RASOpenBefore = true;
    state.Settings.RASConnection = QStringLiteral("Mobile");
    state.Settings.RASUserName = QStringLiteral("bob");
    TMainForm form;
    form.AttachState(state);
    form.SetDialup(dialup.Available(),
                   [&dialup](const TSetupForm2::TEntriesDone& done) { dialup.GetEntries(done); });

    QStringList listed;
    QString current;
    int pages = 0;
    WhenModal([&](QWidget* dialog) {
        pages = dialog->findChild<QTabWidget*>()->count();
        auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("ConnectionComboBox"));
        // The names come over the bus while the dialog is open.
        RunLoopUntil([combo] { return combo->count() == 2; });
        for (int i = 0; i < combo->count(); ++i)
            listed << combo->itemText(i);
        current = combo->currentText();
        for (auto* button : dialog->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("OK"))
                button->click();
    });
    form.SetupButtonClick();
    QCOMPARE(pages, 5);
    listed.sort();
    QCOMPARE(listed, QStringList({QStringLiteral("Mobile"), QStringLiteral("Provider DSL")}));
    QCOMPARE(current, QStringLiteral("Mobile"));
    QCOMPARE(state.Settings.RASConnection, QStringLiteral("Mobile"));
    QCOMPARE(state.Settings.RASUserName, QStringLiteral("bob"));
}

void TestSetupDialup::noNetworkManagerNoDialupPage()
{
    m_fixture.StopNetworkManager();
    TRasConnection dialup;
    QVERIFY(!dialup.Available());
    TAppState state;
    TMainForm form;
    form.AttachState(state);
    form.SetDialup(dialup.Available());
    int pages = 0;
    WhenModal([&pages](QWidget* dialog) {
        pages = dialog->findChild<QTabWidget*>()->count();
        for (auto* button : dialog->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("Cancel"))
                button->click();
    });
    form.SetupButtonClick();
    QCOMPARE(pages, 4); // no Dial-up page
}

QTEST_MAIN(TestSetupDialup)
#include "tst_setupdialup.moc"
