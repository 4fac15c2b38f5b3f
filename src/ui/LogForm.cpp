#include "ui/LogForm.h"

#include "base/SessionLog.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <climits>

TLogForm::TLogForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LogForm"));
    setWindowTitle(QStringLiteral("Quorvel Session Log"));
    // No title-bar buttons: OK is the way out, and it only hides the window.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(false);

    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("Log"));
    m_log->setReadOnly(true);
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_log->setFocusPolicy(Qt::ClickFocus);
    m_log->setBackgroundRole(QPalette::Button);
    m_log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_log->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QPalette palette = m_log->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    m_log->setPalette(palette);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TLogForm::OkButtonClick);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_log);
    layout->addLayout(buttons);
    // Wide enough for a server reply with its message id on one line.
    setFixedSize(720, 400);
}

void TLogForm::Attach(const TSessionLog& log)
{
    disconnect(m_follow);
    m_log->clear();
    // The window keeps as many lines as the log keeps in memory, no more.
    m_log->setMaximumBlockCount(int(qMin<qsizetype>(log.MemoryLines(), INT_MAX)));
    for (const QString& line : log.Lines())
        AddLine(line);
    m_follow = connect(&log, &TSessionLog::LineAdded, this, &TLogForm::AddLine);
}

void TLogForm::AddLine(const QString& line)
{
    QScrollBar* bar = m_log->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    m_log->appendPlainText(line);
    // Follow new lines unless the user scrolled back to read.
    if (atEnd)
        bar->setValue(bar->maximum());
}

QStringList TLogForm::Lines() const
{
    const QString text = m_log->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

void TLogForm::OkButtonClick()
{
    hide();
}
