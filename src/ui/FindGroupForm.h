#pragma once

#include <QDialog>

class QButtonGroup;
class QLineEdit;

enum class TFindMode
{
    First, // stop at the first match
    All,   // select every match
};

// "Find Group": asks for a part of a group name, and keeps the search between searches:
// the text, the row the next search starts from and whether to find the first or all.
class TFindGroupForm : public QDialog
{
    Q_OBJECT
public:
    explicit TFindGroupForm(QWidget* parent = nullptr);

    QString SearchText;
    int StartIndex = 0;
    TFindMode Mode() const { return m_mode; }

    QString FindText() const;
    void SetFindText(const QString& text);

    void RadioGroupClick();

private:
    QLineEdit* m_findText;
    QButtonGroup* m_radioGroup;
    TFindMode m_mode = TFindMode::First;
};
