#pragma once

#include "codec/DecodedPath.h"

#include <QObject>
#include <QString>

#include <memory>

class QFileDevice;
class QIODevice;

// Converts one file into another in a single synchronous run: uuencode, xxencode or base64
// text with or without begin/end lines, the matching decoders, or a plain copy.
//
// The run reads and writes in blocks, so memory stays small whatever the file size; the
// output is byte for byte what encoding the whole file at once gives. Misuse and file
// errors raise EUUCode.
class TUUCode : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString About READ About WRITE SetAbout)
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(TAlgorithm Algorithm READ Algorithm WRITE SetAlgorithm)
    Q_PROPERTY(quint16 FileMode READ FileMode WRITE SetFileMode)
    Q_PROPERTY(bool Headers READ Headers WRITE SetHeaders)
    Q_PROPERTY(QString InputFile READ InputFile WRITE SetInputFile)
    Q_PROPERTY(QString OutputFile READ OutputFile WRITE SetOutputFile)
    Q_PROPERTY(TUnixCRLF UnixCRLF READ UnixCRLF WRITE SetUnixCRLF)

public:
    enum TAlgorithm
    {
        filecopy = 0,
        uuencode = 1,
        uudecode = 2,
        xxencode = 3,
        xxdecode = 4,
        base64encode = 5,
        base64decode = 6,
    };
    Q_ENUM(TAlgorithm)

    enum TUnixCRLF
    {
        CRLF = 0,
        LF = 1,
    };
    Q_ENUM(TUnixCRLF)

    explicit TUUCode(QObject* parent = nullptr);
    ~TUUCode() override;

    QString About() const;
    // Read-only: assigning does nothing.
    void SetAbout(const QString&) {}

    bool Active() const { return m_active; }
    // true runs the conversion and returns when it is done (or throws EUUCode); true while
    // a run is under way, and false, do nothing.
    void SetActive(bool active);

    TAlgorithm Algorithm() const { return m_algorithm; }
    void SetAlgorithm(TAlgorithm algorithm) { m_algorithm = algorithm; }
    quint16 FileMode() const { return m_fileMode; }
    void SetFileMode(quint16 mode) { m_fileMode = mode; }
    bool Headers() const { return m_headers; }
    void SetHeaders(bool headers) { m_headers = headers; }
    QString InputFile() const { return m_inputFile; }
    void SetInputFile(const QString& path) { m_inputFile = path; }
    // A decoder with headers sets it to the input's folder plus the name in the begin line.
    QString OutputFile() const { return m_outputFile; }
    void SetOutputFile(const QString& path) { m_outputFile = path; }
    // A decoder with headers replaces an existing file of the begin line's name only when
    // told to; otherwise it writes under a free name (see TDecodedPath).
    void SetOverwrite(bool overwrite) { m_overwrite = overwrite; }
    // Where the begin line's name was wanted and where the file went.
    const TDecodedPath& Decoded() const { return m_decoded; }
    TUnixCRLF UnixCRLF() const { return m_unixCRLF; }
    void SetUnixCRLF(TUnixCRLF lineEnd) { m_unixCRLF = lineEnd; }

signals:
    // Percentage of the run; the last event of every run carries 100.
    void OnProgress(quint16 Percent);

private:
    void run();
    void copy(QIODevice& input, qint64 size);
    void encode(QIODevice& input, qint64 size);
    void decode(QIODevice& input, qint64 size);
    void progress(qint64 done, qint64 total);
    // Cheap enough for every line: a real report only when the percentage changes.
    void step(qint64 done, qint64 total)
    {
        if (done >= m_nextProgress)
            progress(done, total);
    }

    int m_lastPercent = -1;
    qint64 m_nextProgress = 0;

    bool m_active = false;
    TAlgorithm m_algorithm = filecopy;
    quint16 m_fileMode = 644;
    bool m_headers = true;
    QString m_inputFile;
    QString m_outputFile;
    bool m_overwrite = false;
    TDecodedPath m_decoded;
    TUnixCRLF m_unixCRLF = CRLF;
};
