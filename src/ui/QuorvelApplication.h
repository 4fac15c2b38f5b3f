#pragma once

#include <QApplication>

#include <functional>

// The application object: hands every exception that escapes an event handler to the
// program's handler instead of letting it tear the process down.
class TQuorvelApplication : public QApplication
{
    Q_OBJECT
public:
    using TExceptionHandler = std::function<void(const QString& message)>;

    TQuorvelApplication(int& argc, char** argv);

    void SetExceptionHandler(TExceptionHandler handler) { m_handler = std::move(handler); }
    bool notify(QObject* receiver, QEvent* event) override;

    // Desktops without an icon theme of their own still get the toolbar's and the file
    // list's icons from the installed freedesktop themes.
    static void UseIconTheme();

private:
    void Report(const QString& message);

    TExceptionHandler m_handler;
    bool m_reporting = false;
};
