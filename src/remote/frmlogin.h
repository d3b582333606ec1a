#pragma once

#include <QtCore/QString>

#include <optional>

class QMainWindow;
class QWidget;

namespace korva {

struct LoginAnswer
{
    QString user;
    QString password;
};

// Asks for a SQL Server login for a server; refusal is the server's answer
// to the login tried before (empty on the first question).
// user is filled in when known (the one refused), and the password box then has the keyboard.
std::optional<LoginAnswer> askLogin(const QString &server, const QString &refusal, QWidget *parent = nullptr,
                                    const QString &user = QString());

// Connects the database layer to the windows: a server that needs a SQL
// Server login asks for it over the main window, and a lost connection
// opened again is told in its status bar. Undone when the window goes.
void installDatabaseDialogs(QMainWindow *window);

} // namespace korva
