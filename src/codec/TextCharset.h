#pragma once

#include <QByteArrayView>
#include <QString>

// Follows the bytes of a text, line by line, to tell which charset its article must
// declare: none for plain ASCII, UTF-8 when every 8-bit byte is part of valid UTF-8, and
// otherwise the charset the user set for such files.
class TTextCharset
{
public:
    // One line, without its line end.
    void AddLine(QByteArrayView line);
    // What another text of the same body found.
    void Merge(const TTextCharset& other);

    bool EightBit() const { return m_eightBit; }
    bool Utf8() const { return m_utf8; }
    // Empty for ASCII; "UTF-8"; or fallback (ISO-8859-1 when fallback is not a charset name).
    QString Name(const QString& fallback) const;

private:
    bool m_eightBit = false;
    bool m_utf8 = true;
};
