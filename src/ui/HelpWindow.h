#pragma once

#include <QDialog>

class QTextBrowser;

// The program's own help viewer: the HTML help shipped with the program, opened at its
// contents or at a topic. Works without a desktop browser.
class THelpWindow : public QDialog
{
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // The help file: next to the program, else where the install put it; empty if none.
    static QString FindHelpFile(const QString& programDir);
    // The anchor of a topic number (400 setup, 410 groups, 425 uploads); empty for contents.
    static QString TopicAnchor(int topic);

    // Opens file at the topic (0: contents). False when the file cannot be read.
    bool ShowTopic(const QString& file, int topic);
    QString CurrentAnchor() const { return m_anchor; }

private:
    QTextBrowser* m_browser;
    QString m_anchor;
};
