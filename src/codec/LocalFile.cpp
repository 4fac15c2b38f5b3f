#include "codec/LocalFile.h"

#include <QStringDecoder>

#include <algorithm>

#include <cerrno>
#include <dirent.h>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char16_t RawBase = 0xF700; // byte b (0x80 to 0xFF) is RawBase + b

bool isRaw(QChar c)
{
    return c.unicode() >= RawBase + 0x80 && c.unicode() <= RawBase + 0xFF;
}

// The length of the UTF-8 character at p, 0 when the bytes there are none (or a character
// that a name decoded back could not tell from escaped bytes).
int characterLength(const uchar* p, qsizetype left)
{
    const int length = p[0] < 0x80                    ? 1
                       : p[0] >= 0xC2 && p[0] <= 0xDF ? 2
                       : p[0] >= 0xE0 && p[0] <= 0xEF ? 3
                       : p[0] >= 0xF0 && p[0] <= 0xF4 ? 4
                                                      : 0;
    if (length == 0 || length > left)
        return 0;
    QStringDecoder strict(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString decoded = strict.decode(QByteArrayView(p, length));
    if (strict.hasError() || decoded.isEmpty() || decoded.contains(QChar::ReplacementCharacter) ||
        isRaw(decoded.at(0)))
        return 0;
    return length;
}

} // namespace

QString TLocalFile::FromBytes(const QByteArray& bytes)
{
    QString name;
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    for (qsizetype i = 0; i < bytes.size();) {
        const int length = characterLength(p + i, bytes.size() - i);
        if (length == 0) {
            name += QChar(char16_t(RawBase + p[i]));
            ++i;
            continue;
        }
        name += QString::fromUtf8(bytes.constData() + i, length);
        i += length;
    }
    return name;
}

QByteArray TLocalFile::ToBytes(const QString& name)
{
    if (!HasRawBytes(name))
        return name.toUtf8();
    QByteArray bytes;
    QString run;
    for (const QChar c : name) {
        if (!isRaw(c)) {
            run += c;
            continue;
        }
        bytes += run.toUtf8();
        run.clear();
        bytes += char(c.unicode() - RawBase);
    }
    return bytes + run.toUtf8();
}

QString TLocalFile::Shown(const QString& name)
{
    QString shown = name;
    for (QChar& c : shown)
        if (isRaw(c))
            c = QChar::ReplacementCharacter;
    return shown;
}

bool TLocalFile::HasRawBytes(const QString& name)
{
    return std::any_of(name.begin(), name.end(), isRaw);
}

bool TLocalFile::open(OpenMode mode)
{
    // Opened by a descriptor, QFile forgets its name: it is kept for the next open.
    if (!fileName().isEmpty())
        m_name = fileName();
    if (!HasRawBytes(m_name))
        return QFile::open(mode);
    // Reading only: the names that need this come from outside, and are posted, not written.
    if ((mode & ReadWrite) != ReadOnly) {
        setErrorString(QStringLiteral("cannot write a file whose name is not UTF-8"));
        return false;
    }
    const int fd = ::open(ToBytes(m_name).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        setErrorString(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return QFile::open(fd, mode, AutoCloseHandle);
}

TLocalFile::TInfo TLocalFile::Info(const QString& name)
{
    TInfo info;
    struct stat st = {};
    const QByteArray bytes = ToBytes(name);
    if (::stat(bytes.constData(), &st) != 0)
        return info;
    info.Exists = true;
    info.IsFile = S_ISREG(st.st_mode);
    info.Readable = ::access(bytes.constData(), R_OK) == 0;
    info.Size = st.st_size;
    return info;
}

QString TLocalFile::FromShown(const QString& path)
{
    if (Info(path).Exists)
        return path;
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return path;
    const QString folder = slash == 0 ? QStringLiteral("/") : FromShown(path.left(slash));
    const QString shown = path.mid(slash + 1);
    DIR* dir = ::opendir(ToBytes(folder).constData());
    if (dir == nullptr)
        return path;
    QString found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray raw(entry->d_name);
        if (QFile::decodeName(raw) == shown) {
            found = FromBytes(raw);
            ++matches;
        }
    }
    ::closedir(dir);
    // Two names that show alike cannot be told apart: the view's name stays, and opening it
    // says that there is no such file.
    if (matches != 1)
        return path;
    return (folder.endsWith(u'/') ? folder : folder + u'/') + found;
}
