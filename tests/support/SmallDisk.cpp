#include "SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <unistd.h>

TSmallDisk::~TSmallDisk()
{
    if (m_mounted)
        run({QStringLiteral("umount"), QStringLiteral("-l"), m_folder}, nullptr);
}

bool TSmallDisk::run(const QStringList& args, QString* why)
{
    QProcess p;
    p.start(args.first(), args.mid(1));
    const bool ok =
        p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok && why)
        *why = args.join(u' ') + QStringLiteral(": ") +
               QString::fromLocal8Bit(p.readAllStandardError()).trimmed() + p.errorString();
    return ok;
}

bool TSmallDisk::Mount(int kilobytes, QString* why)
{
    if (geteuid() != 0) {
        *why = QStringLiteral("mounting a small tmpfs needs root");
        return false;
    }
    QDir().mkpath(m_folder);
    m_mounted = run({QStringLiteral("mount"), QStringLiteral("-t"), QStringLiteral("tmpfs"),
                     QStringLiteral("-o"), QStringLiteral("size=%1k,mode=0755").arg(kilobytes),
                     QStringLiteral("tmpfs"), m_folder},
                    why);
    return m_mounted;
}

bool TSmallDisk::Fill(QString* why)
{
    QFile filler(m_folder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *why = filler.errorString();
        return false;
    }
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) {
    }
    // A partial block may still fit.
    while (filler.write(block.left(1)) == 1) {
    }
    return true;
}

bool TSmallDisk::MakeReadOnly(QString* why)
{
    return run(
        {QStringLiteral("mount"), QStringLiteral("-o"), QStringLiteral("remount,ro"), m_folder},
        why);
}
