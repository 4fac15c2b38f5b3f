#pragma once

#include <QString>
#include <exception>
#include <functional>

// An application object whose event delivery catches what a handler let escape and hands
// the message to one handler, instead of letting the program die mid-event.
template <typename Base> class TGuardedApplication : public Base
{
public:
    using Base::Base;

    void SetExceptionHandler(std::function<void(const QString&)> handler)
    {
        m_handler = std::move(handler);
    }

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return Base::notify(receiver, event);
        } catch (const std::exception& e) {
            report(QString::fromUtf8(e.what()));
        } catch (...) {
            report(QStringLiteral("Unknown error"));
        }
        return false;
    }

private:
    void report(const QString& message)
    {
        if (m_handler)
            m_handler(message);
    }

    std::function<void(const QString&)> m_handler;
};
