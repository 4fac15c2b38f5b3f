#include "ui/ServerTestButton.h"

#include "net/ServerProbe.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Seconds each step of the test may take.
constexpr int TestTimeout = 20;

} // namespace

TServerTestButton::TServerTestButton(TEntrySource source, QWidget* parent)
    : QWidget(parent), m_source(std::move(source)), m_button(new QPushButton(tr("Test"), this)),
      m_result(new QLabel(this)), m_probe(new TServerProbe(this))
{
    m_button->setObjectName(QStringLiteral("TestServer"));
    m_button->setToolTip(QStringLiteral("Connect, log in, and report the greeting, the TLS "
                                        "version and whether posting is allowed"));
    m_result->setObjectName(QStringLiteral("ServerTestResult"));
    m_result->setWordWrap(true);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout;
    row->addWidget(m_button);
    row->addStretch();
    layout->addLayout(row);
    layout->addWidget(m_result);
    connect(m_button, &QPushButton::clicked, this, &TServerTestButton::start);
    connect(m_probe, &TServerProbe::Finished, this, &TServerTestButton::show);
}

void TServerTestButton::ShowText(const QString& text)
{
    m_result->setText(text);
}

void TServerTestButton::start()
{
    const std::optional<TServerEntry> entry = m_source();
    if (!entry)
        return;
    if (entry->Host.trimmed().isEmpty()) {
        ShowText(QStringLiteral("Enter the server's host name first."));
        return;
    }
    m_button->setEnabled(false);
    ShowText(QStringLiteral("Testing %1...").arg(entry->Address()));
    m_probe->Start(*entry, TestTimeout);
}

void TServerTestButton::show(const TProbeResult& result)
{
    m_button->setEnabled(true);
    QString text = result.Lines().join(u'\n');
    if (!result.Passed())
        text += QStringLiteral("\nCheck the host, port, security and login, then test again.");
    ShowText(text);
    emit Finished(result);
}
