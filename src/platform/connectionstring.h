#pragma once

#include <QtCore/QString>

namespace korva::db {

// What a connection string says, in either of its two forms:
//   "Driver={SQL Server};server=HOST\INSTANCE;database=DB"
//   "Provider=SQLOLEDB.1;Integrated Security=SSPI;...;Initial Catalog=DB;Data Source=HOST"
struct ConnectionTarget
{
    QString server;   // host name as written
    QString instance; // named instance, empty for the default one
    QString database; // empty when the string names none
    int port = 0;     // from "host,port"; 0 for the default
    bool valid = false;
};

ConnectionTarget parseConnectionString(const QString &text);

} // namespace korva::db
