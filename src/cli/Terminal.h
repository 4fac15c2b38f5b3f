#pragma once

#include <QString>
#include <optional>

// The process's standard streams as a user sees them: whether a person sits at them, and
// reading a line (optionally without echo) or writing text.
class TTerminal
{
public:
    TTerminal();

    bool InputIsTerminal() const { return m_inputTty; }
    bool ErrorIsTerminal() const { return m_errorTty; }

    // Writes to standard output (results) or standard error (messages) at once, control
    // characters other than line feed and tab shown escaped.
    void Out(const QString& text) const;
    void Err(const QString& text) const;
    // Writes text over the current line of standard error (a progress bar).
    void Redraw(const QString& text) const;

    // Reads one line from standard input without its line end; nullopt at end of input.
    // Without echo when echo is false and the input is a terminal (passwords).
    std::optional<QString> ReadLine(bool echo) const;

private:
    bool m_inputTty = false;
    bool m_errorTty = false;
};
