#pragma once

#include "platform/xmldocument.h"

#include <QtCore/QString>

namespace korva {

// What the main window owns and every other window reads while it is open:
// which server and database the program looks at, and what it knows of them.
struct SharedState
{
    QString installFolder;
    QString dictionaryFolder; // ends with a separator; empty when there is no dictionary at all
    QString serverName;
    QString instanceName = QStringLiteral("zandelorvex");
    QString connectionString;
    QString remoteLabel;
    QString remoteInstance; // the instance of an attached server when its name gave one
    QString keptServer;     // the kept files of a server the program runs on (their folder name), or empty
    bool editMode = false;
    QString knownTableNames; // names each followed by one blank
    QString knownViewNames;
    xml::Document dictionary; // lower-cased data dictionary of the selected database
    QString pendingJumpTable;
    QString pendingJumpObjectID;
};

} // namespace korva
