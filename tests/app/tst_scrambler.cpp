#include "base/PasswordScrambler.h"

#include <QTest>

class TestScrambler : public QObject
{
    Q_OBJECT
private slots:
    void knownVector();
    void roundTrip_data();
    void roundTrip();
    void tooLongIsNeverCut();
    void emptyPasswordUsesTickDigits();
    void plainTextTakenAsIs_data();
    void plainTextTakenAsIs();
};

void TestScrambler::knownVector()
{
    // Length 3, then "abc" repeated to ten bytes: words 0x6103, 0x6362, 0x6261, 0x6163, 0x6362,
    // each plus 21379.
    const QString stored = PasswordScrambler::Scramble(QStringLiteral("abc"), 0);
    QCOMPARE(stored, QStringLiteral("46214"
                                    "46821"
                                    "46564"
                                    "46310"
                                    "46821"));
    QCOMPARE(PasswordScrambler::Unscramble(stored), QStringLiteral("abc"));
}

void TestScrambler::roundTrip_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("digits");
    QTest::newRow("1") << QStringLiteral("x") << 25;
    QTest::newRow("9") << QStringLiteral("123456789") << 25;
    QTest::newRow("10") << QStringLiteral("0123456789") << 30;
    QTest::newRow("11") << QStringLiteral("with blank,") << 30;
    QTest::newRow("255") << QString(255, QLatin1Char('z')) << 640;
    // Stored as UTF-8: every character survives, and the limit counts bytes.
    QTest::newRow("cyrillic") << QStringLiteral("пароль1") << 35;
    QTest::newRow("latin-1 letters") << QStringLiteral("Grüße") << 25;
    QTest::newRow("255 bytes of two-byte letters") << QString(127, QChar(0xE9)) + u'z' << 640;
}

void TestScrambler::roundTrip()
{
    QFETCH(QString, password);
    QFETCH(int, digits);
    const QString stored = PasswordScrambler::Scramble(password, 987654);
    QCOMPARE(stored.size(), digits);
    for (QChar c : stored)
        QVERIFY(c.isDigit());
    QCOMPARE(PasswordScrambler::Unscramble(stored), password);
}

void TestScrambler::tooLongIsNeverCut()
{
    const QString longest = QString(127, QChar(0xE9)) + u'z';
    QVERIFY(PasswordScrambler::Fits(longest));
    const QString tooLong = QString(128, QChar(0xE9));
    QVERIFY(!PasswordScrambler::Fits(tooLong));
    QCOMPARE(PasswordScrambler::Scramble(tooLong, 1), QString());
    QVERIFY(PasswordScrambler::TooLongText().contains(QLatin1String("255")));
}

void TestScrambler::emptyPasswordUsesTickDigits()
{
    const QString a = PasswordScrambler::Scramble(QString(), 12345678);
    const QString b = PasswordScrambler::Scramble(QString(), 87654321);
    QCOMPARE(a.size(), 25);
    QVERIFY(a != b); // the filler follows the tick counter
    QCOMPARE(PasswordScrambler::Unscramble(a), QString());
    QCOMPARE(PasswordScrambler::Unscramble(b), QString());
}

void TestScrambler::plainTextTakenAsIs_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("letters") << QStringLiteral("secret");
    QTest::newRow("digits then letters") << QStringLiteral("46214abcde");
}

void TestScrambler::plainTextTakenAsIs()
{
    QFETCH(QString, stored);
    QCOMPARE(PasswordScrambler::Unscramble(stored), stored);
}

QTEST_GUILESS_MAIN(TestScrambler)
#include "tst_scrambler.moc"
