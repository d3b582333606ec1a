#pragma once

#include "platform/dberror.h"
#include "platform/xmldocument.h"

#include <QtCore/QList>
#include <QtCore/QString>

#include <memory>

namespace korva {

namespace db {
class ResultSet;
}

// What opening one of the databases asks of the server and the disk.
struct OpeningRequest
{
    QString connection;          // the database's connection string
    QString tableListQuery;      // its tables, or its views
    bool withDictionary = true;  // false: the server has no dictionary here at all
    QString dictionaryPath;      // empty: the database has none
    bool withKnownNames = false; // the directory's table and view names too
};

// What came of it; nothing of it is shown yet.
struct OpenedDatabase
{
    enum class Dictionary { None, Loaded, Missing, Broken };

    std::shared_ptr<db::ResultSet> tables; // read to the end; null when it could not be read whole
    QList<Error> tableErrors;              // as they are to be reported
    xml::Document dictionary;              // lower-cased
    Dictionary dictionaryState = Dictionary::None;
    QString knownTableNames; // names each followed by one blank
    QString knownViewNames;
};

// Reads the table list, the data dictionary and (when asked) the known
// names. Runs on any thread: a remote server keeps no window waiting.
OpenedDatabase openDatabase(const OpeningRequest &request);

} // namespace korva
