#include "support/frmsplashscreen.h"

#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

namespace korva {

frmSplashScreen::frmSplashScreen(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmSplashScreen"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto *layout = new QVBoxLayout(this);
    auto *title = new QLabel(QStringLiteral("KORVA"), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont f = title->font();
    f.setPointSizeF(f.pointSizeF() * 2);
    f.setBold(true);
    title->setFont(f);
    title->setAlignment(Qt::AlignCenter);
    auto *text = new QLabel(QStringLiteral("Loading database information, please wait..."), this);
    text->setObjectName(QStringLiteral("lblLoading"));
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    layout->addWidget(text);
    setAutoFillBackground(true);
    setFixedSize(420, 140);
}

void frmSplashScreen::centreOnScreen()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect g = screen->geometry();
        move(g.x() + (g.width() - width()) / 2, g.y() + (g.height() - height()) / 2);
    }
}

void frmSplashScreen::showOver(const QWidget *window)
{
    const int dpi = window->logicalDpiY();
    const QRect g = window->frameGeometry();
    move(g.x() + g.width() / 2 - width() / 2, g.y() + 1700 * dpi / 1440);
    show();
    raise();
    repaint();
}

} // namespace korva
