#pragma once

#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>

class QMenu;
class QPushButton;

namespace korva {

class Messenger;
namespace modLocalize {
class Languages;
}

// A label that acts when clicked or, having the focus, on Space or Enter.
class ClickableLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ClickableLabel(const QString &text, QWidget *parent = nullptr);

Q_SIGNALS:
    void clicked(const QPoint &globalPos);

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

// " 2.0 Build  15": major and revision as numbers are written with room for
// a sign, the minor without.
QString aboutVersionText(const QString &version);

// The about window: version, company, and the choice of interface language
// among the libraries beside the program. Loaded once; OK only hides it.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    // The languages are the program's own unless a test gives others.
    explicit frmAbout(Messenger &msg, modLocalize::Languages *languages = nullptr, QWidget *parent = nullptr);

    QMenu *languageMenu() const { return mnuSelectLanguage; }
    void lblChangeLanguage_Click(const QPoint &globalPos);
    // Shown, it belongs to the window the user is working in when it has no
    // shown owner yet.
    void setVisible(bool visible) override;

public Q_SLOTS:
    // After a language change: the texts have other lengths.
    void frmAbout_Auto_Init();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Form_Load();
    void chooseLanguage(QAction *item);

    Messenger &m_msg;
    modLocalize::Languages &m_languages;
    QLabel *lblVersionTitle = nullptr;
    QLabel *lblVersion = nullptr;
    ClickableLabel *lblChangeLanguage = nullptr;
    QMenu *mnuSelectLanguage = nullptr;
    QPushButton *cmdOK = nullptr;
};

} // namespace korva
