#pragma once

#include "base/View.h"

#include <QDialog>

class QButtonGroup;
class QLineEdit;

// "Find Group": asks for a part of a group name and whether to find the first matching group
// or all of them. The window lives as long as the main window; the search itself keeps its
// text and mode between searches and hands them in each time.
class TFindGroupForm : public QDialog
{
    Q_OBJECT
public:
    explicit TFindGroupForm(QWidget* parent = nullptr);

    TFindMode Mode() const { return m_mode; }
    void SetMode(TFindMode mode);

    QString FindText() const;
    void SetFindText(const QString& text);

    void RadioGroupClick();

private:
    QLineEdit* m_findText;
    QButtonGroup* m_radioGroup;
    TFindMode m_mode = TFindMode::First;
};
