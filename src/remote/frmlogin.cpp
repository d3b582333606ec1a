#include "remote/frmlogin.h"

#include "platform/odbcsession.h"

#include <QtCore/QPointer>
#include <QtWidgets/QDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStatusBar>

namespace korva {

std::optional<LoginAnswer> askLogin(const QString &server, const QString &refusal, QWidget *parent,
                                    const QString &userName)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("frmLogin"));
    dialog.setWindowTitle(QStringLiteral("SQL Server login"));
    auto *form = new QFormLayout(&dialog);
    auto *intro = new QLabel(refusal.isEmpty()
                                 ? QStringLiteral("Give a SQL Server login for the server %1:").arg(server)
                                 : QStringLiteral(
                                       "The server %1 refused the login: %2\nGive a SQL Server login for it:")
                                       .arg(server, refusal),
                             &dialog);
    intro->setObjectName(QStringLiteral("lblLogin"));
    intro->setWordWrap(true);
    form->addRow(intro);
    auto *user = new QLineEdit(&dialog);
    user->setObjectName(QStringLiteral("txtUser"));
    auto *password = new QLineEdit(&dialog);
    password->setObjectName(QStringLiteral("txtPassword"));
    password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("&User name:"), user);
    form->addRow(QStringLiteral("&Password:"), password);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    // A login needs a user name.
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(false);
    QObject::connect(user, &QLineEdit::textChanged, ok,
                     [ok](const QString &text) { ok->setEnabled(!text.trimmed().isEmpty()); });
    if (!userName.isEmpty()) {
        user->setText(userName);
        password->setFocus();
    }
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    const bool accepted = dialog.exec() == QDialog::Accepted && !user->text().trimmed().isEmpty();
    std::optional<LoginAnswer> answer;
    if (accepted)
        answer = LoginAnswer{user->text().trimmed(), password->text()};
    // The typed password is not left in the widget's memory.
    password->setText(QString(password->text().size(), QChar(u' ')));
    password->clear();
    return answer;
}

void installDatabaseDialogs(QMainWindow *window)
{
    QPointer<QMainWindow> guard(window);
    // The user names given, by server (never a password), to fill in when asked again.
    auto users = std::make_shared<QHash<QString, QString>>();
    db::setLoginPrompt([guard, users](const QString &server, const QString &refusal) -> std::optional<db::OdbcLogin> {
        const auto answer = askLogin(server, refusal, guard.data(),
                                     refusal.isEmpty() ? QString() : users->value(server));
        if (!answer)
            return std::nullopt;
        users->insert(server, answer->user);
        return db::OdbcLogin{false, answer->user, answer->password};
    });
    db::setConnectionNotice([guard](const QString &text) {
        if (!guard)
            return;
        QMetaObject::invokeMethod(
            guard.data(),
            [guard, text] {
                if (guard)
                    guard->statusBar()->showMessage(text, 15000);
            },
            Qt::QueuedConnection);
    });
    QObject::connect(window, &QObject::destroyed, [] {
        db::setLoginPrompt({});
        db::setConnectionNotice({});
    });
}

} // namespace korva
