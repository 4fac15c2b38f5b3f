#include "ui/SplashForm.h"

#include "ui/ProgramIcon.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

TSplashForm::TSplashForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("SplashForm"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0xf4, 0xf7, 0xfc));
    setPalette(palette);

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(ProgramPixmap(96));
    auto* name = new QLabel(QStringLiteral("Quorvel"), this);
    name->setObjectName(QStringLiteral("Label1"));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    name->setFont(big);
    m_statusLabel = new QLabel(QStringLiteral("Loading"), this);
    m_statusLabel->setObjectName(QStringLiteral("StatusLabel"));

    auto* texts = new QVBoxLayout;
    texts->addStretch();
    texts->addWidget(name);
    texts->addWidget(m_statusLabel);
    texts->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(24, 20, 32, 20);
    layout->setSpacing(20);
    layout->addWidget(image);
    layout->addLayout(texts);
    setFixedSize(380, 150);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TSplashForm::SetStatus(const QString& text)
{
    m_statusLabel->setText(text);
    // Start-up is busy in between; paint now so the text is seen.
    if (isVisible())
        repaint();
}

QString TSplashForm::Status() const
{
    return m_statusLabel->text();
}
