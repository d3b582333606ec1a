#pragma once

#include <QtWidgets/QWidget>

namespace korva {

// "Loading database information, please wait..." over the screen or the main window.
class frmSplashScreen : public QWidget
{
    Q_OBJECT

public:
    explicit frmSplashScreen(QWidget *parent = nullptr);
    void centreOnScreen();
    void showOver(const QWidget *window); // 1700 twips below its top, centred
};

} // namespace korva
