#pragma once

#include <QWidget>

class QLabel;

// The borderless window shown while the program starts, with what it is doing.
class TSplashForm : public QWidget
{
    Q_OBJECT
public:
    explicit TSplashForm(QWidget* parent = nullptr);

    void SetStatus(const QString& text);
    QString Status() const;

private:
    QLabel* m_statusLabel;
};
