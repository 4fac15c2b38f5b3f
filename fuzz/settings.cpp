// A settings file as someone may have left it: every value in it read as a string, a
// boolean and a number, with the profile list read as comma text and each string
// unscrambled as a password. Then the scrambler's own property: a password that fits (255
// bytes of UTF-8), scrambled with any tick count, unscrambles to itself; a longer one is
// refused.
#include "FuzzFiles.h"

#include "base/CommaText.h"
#include "base/PasswordScrambler.h"
#include "base/SettingsStore.h"

#include <QSettings>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzFiles::Init(argc, argv);
    return 0;
}

namespace {

void readValues(const QString& path)
{
    QStringList keys;
    {
        QSettings raw(path, QSettings::IniFormat);
        keys = raw.allKeys();
    }
    TSettingsStore store(path);
    for (const QString& full : keys) {
        const qsizetype slash = full.indexOf(QLatin1Char('/'));
        if (slash <= 0)
            continue;
        const QString key = full.left(slash);
        const QString name = full.mid(slash + 1);
        const QString text = store.ReadString(key, name, QString());
        store.ReadBool(key, name, true);
        store.ReadInteger(key, name, 7);
        PasswordScrambler::Unscramble(text);
        if (name == QLatin1String("Profiles"))
            CommaText::Read(text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    quint64 tick = 0;
    for (int i = 0; i < 8; ++i)
        tick = tick << 8 | data[i];
    const QByteArray bytes = FuzzFiles::Bytes(data + 8, size - 8);
    FuzzFiles::FreshFolder();
    readValues(FuzzFiles::Write(QStringLiteral("quorvel.conf"), bytes));

    // Passwords go scrambled as UTF-8: one that fits comes back whole, one that does not is
    // refused (never stored cut short). Read as UTF-8 (invalid bytes become U+FFFD) and as
    // Latin-1, so that both sides of the limit are reached.
    for (const QString& password :
         {QString::fromUtf8(bytes.left(300)), QString::fromLatin1(bytes.left(255))}) {
        const QString scrambled = PasswordScrambler::Scramble(password, tick);
        if (PasswordScrambler::Fits(password))
            FuzzFiles::Check(PasswordScrambler::Unscramble(scrambled) == password,
                             "Unscramble(Scramble(password)) == password");
        else
            FuzzFiles::Check(scrambled.isEmpty(), "a password too long is refused, not cut");
    }
    return 0;
}
