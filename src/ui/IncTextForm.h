#pragma once

#include <QDialog>

class QPlainTextEdit;

// "Include Text": the text placed before the file in each article of one upload. Starts
// empty each time; Open loads a text file in place of what is there.
class TIncTextForm : public QDialog
{
    Q_OBJECT
public:
    explicit TIncTextForm(QWidget* parent = nullptr);

    QStringList Lines() const;
    // Replaces the text with the lines of fileName; returns an error text or empty.
    QString LoadFile(const QString& fileName);

    void OpenButtonClick();

    // Shows the window modally; nullopt unless closed with OK.
    static std::optional<QStringList> Ask(QWidget* parent);

private:
    QPlainTextEdit* m_memo;
};
