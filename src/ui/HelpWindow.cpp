#include "ui/HelpWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#ifndef QUORVEL_HELP_INSTALL_DIR
#define QUORVEL_HELP_INSTALL_DIR ""
#endif

THelpWindow::THelpWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Quorvel Help"));
    setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint);
    setModal(false);

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenExternalLinks(true);

    auto* contents = new QPushButton(QStringLiteral("&Contents"), this);
    auto* back = new QPushButton(QStringLiteral("&Back"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(contents, &QPushButton::clicked, m_browser, &QTextBrowser::home);
    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    back->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(back);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    layout->addLayout(buttons);
    resize(720, 560);
}

QString THelpWindow::FindHelpFile(const QString& programDir)
{
    const QString name = QStringLiteral("Quorvel.html");
    const QStringList candidates = {
        QDir(programDir).filePath(name),
        QDir(programDir).filePath(QStringLiteral("help/") + name),
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help/") + name),
        // An install moved to another prefix keeps its layout.
        QDir(QCoreApplication::applicationDirPath())
            .filePath(QStringLiteral("../share/quorvel/help/") + name),
        QDir(QStringLiteral(QUORVEL_HELP_INSTALL_DIR)).filePath(name),
    };
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isFile())
            return QFileInfo(candidate).absoluteFilePath();
    return {};
}

QString THelpWindow::TopicAnchor(int topic)
{
    switch (topic) {
    case 400:
        return QStringLiteral("setup");
    case 410:
        return QStringLiteral("subscribe");
    case 425:
        return QStringLiteral("upload");
    default:
        return {};
    }
}

bool THelpWindow::ShowTopic(const QString& file, int topic)
{
    if (file.isEmpty() || !QFileInfo(file).isReadable())
        return false;
    QUrl url = QUrl::fromLocalFile(file);
    m_anchor = TopicAnchor(topic);
    if (!m_anchor.isEmpty())
        url.setFragment(m_anchor);
    if (m_browser->source().adjusted(QUrl::RemoveFragment) != url.adjusted(QUrl::RemoveFragment))
        m_browser->setSource(QUrl::fromLocalFile(file));
    m_browser->setSource(url);
    if (!m_anchor.isEmpty())
        m_browser->scrollToAnchor(m_anchor);
    show();
    raise();
    activateWindow();
    return true;
}
