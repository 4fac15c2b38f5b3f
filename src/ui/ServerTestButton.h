#pragma once

#include "base/ServerEntry.h"

#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class TServerProbe;
struct TProbeResult;

// A "Test" button and the line under it that tells what the test of a server found: the
// greeting, the TLS protocol, the login and whether posting is allowed. The entry tested is
// asked for at each click (std::nullopt: nothing to test, the reason already shown).
class TServerTestButton : public QWidget
{
    Q_OBJECT
public:
    using TEntrySource = std::function<std::optional<TServerEntry>()>;

    explicit TServerTestButton(TEntrySource source, QWidget* parent = nullptr);

    QPushButton* Button() const { return m_button; }
    // Shows a text in the result line (also why nothing was tested).
    void ShowText(const QString& text);

signals:
    void Finished(const TProbeResult& result);

private:
    void start();
    void show(const TProbeResult& result);

    TEntrySource m_source;
    QPushButton* m_button;
    QLabel* m_result;
    TServerProbe* m_probe;
};
