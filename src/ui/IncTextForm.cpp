#include "ui/IncTextForm.h"

#include "ui/FileDialogFilter.h"

#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QVBoxLayout>

TIncTextForm::TIncTextForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("IncTextForm"));
    setWindowTitle(QStringLiteral("Include Text"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowContextHelpButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* open = new QPushButton(QStringLiteral("Open"), this);
    open->setObjectName(QStringLiteral("OpenButton"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    connect(open, &QPushButton::clicked, this, &TIncTextForm::OpenButtonClick);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(open);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    auto* prompt = new QLabel(
        QStringLiteral("Text to place before the file in each article of this upload:"), this);
    prompt->setBuddy(m_memo);
    layout->addWidget(prompt);
    layout->addWidget(m_memo);
    layout->addLayout(buttons);
    setFixedSize(520, 360);
}

QStringList TIncTextForm::Lines() const
{
    const QString text = m_memo->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

QString TIncTextForm::LoadFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString());
    // Text files may come with CR LF or LF ends; either gives the same lines.
    QStringDecoder toUtf16(QStringDecoder::Utf8);
    QString text = toUtf16(bytes);
    if (toUtf16.hasError())
        text = QString::fromLatin1(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.endsWith(u'\n'))
        text.chop(1);
    m_memo->setPlainText(text);
    return {};
}

void TIncTextForm::OpenButtonClick()
{
    const QString fileName = QFileDialog::getOpenFileName(
        this, QStringLiteral("Include text File Open"), QString(),
        ToDialogFilter(QStringLiteral("Text Files|*.txt|All Files|*.*")));
    if (fileName.isEmpty())
        return;
    const QString error = LoadFile(fileName);
    if (!error.isEmpty())
        QMessageBox::warning(this, QStringLiteral("Quorvel"), error);
}

std::optional<QStringList> TIncTextForm::Ask(QWidget* parent)
{
    TIncTextForm form(parent);
    if (form.exec() != QDialog::Accepted)
        return std::nullopt;
    return form.Lines();
}
