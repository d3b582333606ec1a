#pragma once

#include "schema.h"

#include <QtCore/QStringList>

namespace korva::demo {

struct DemoOptions;
class Populator;

// What the other databases repeat of the directory's content.
struct DirectoryFacts
{
    struct Subscriber
    {
        QString id;
        QString alias;
        QString extension;
        QString mailbox;
        QString displayName;
    };
    struct Quota
    {
        QString id;
        QString name;
        int warning = 0;
        int send = 0;
        int receive = 0;
    };
    struct Port
    {
        QString id;
        int number = 0;
    };
    QList<Subscriber> subscribers;
    QList<Quota> quotas;
    QList<Port> ports;
};

// The directory database OrvexDirDB: definition and content.
DatabaseDef directoryDatabase();
DirectoryFacts populateDirectory(Populator &p, const DemoOptions &options);

// Stored procedures of the directory (in their own file).
QList<ProcedureDef> directoryProcedures();

} // namespace korva::demo
