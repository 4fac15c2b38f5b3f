#pragma once

#include <QDialog>

class QPlainTextEdit;
class TSessionLog;

// "Quorvel Session Log": this run's log lines, added as they are logged. Closing only hides it.
class TLogForm : public QDialog
{
    Q_OBJECT
public:
    explicit TLogForm(QWidget* parent = nullptr);

    // Shows the lines the log holds and follows it from now on.
    void Attach(const TSessionLog& log);
    void AddLine(const QString& line);
    QStringList Lines() const;

    void OkButtonClick();

private:
    QPlainTextEdit* m_log;
    QMetaObject::Connection m_follow;
};
