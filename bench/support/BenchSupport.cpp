#include "BenchSupport.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>

#include <cstdio>

bool WriteRandomFile(const QString& path, qint64 bytes, quint32 seed)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, '\0');
    QRandomGenerator rng(seed);
    for (qint64 done = 0; done < bytes; done += block.size()) {
        rng.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
        const qint64 n = qMin<qint64>(block.size(), bytes - done);
        if (f.write(block.constData(), n) != n)
            return false;
    }
    return f.flush();
}

int StartBenchInn(TInnServer& inn, const TInnServer::TOptions& options)
{
    if (!TInnServer::Available()) {
        std::fprintf(stderr, "%s\n", qPrintable(TInnServer::SkipReason()));
        return 2;
    }
    QString error;
    if (!inn.Start(options, &error)) {
        std::fprintf(stderr, "INN did not start: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
