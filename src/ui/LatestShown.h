#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

// Shows a text that may change many times a second: the first change at once, then at most
// one every IntervalMs, the latest one. Setting a label's or an item's text costs a layout
// and a repaint, and a fast upload changes its status several times per part.
class TLatestShown : public QObject
{
public:
    static constexpr int IntervalMs = 40;

    TLatestShown(std::function<void(const QString&)> show, QObject* parent);

    void Set(const QString& text);
    // A text waiting to be shown is dropped (what it belonged to is gone or overruled).
    void Cancel() { m_pending.reset(); }

private:
    void due();

    std::function<void(const QString&)> m_show;
    QTimer m_timer;
    std::optional<QString> m_pending;
};
