#pragma once

#include "platform/error.h"

#include <QtCore/QString>

namespace korva::navigation {

// Describes the object that an ObjectID refers to, for the hover tooltip and
// the caption of "Jump to this object": a title line naming the kind of
// object, then "Label=value" lines read from the database, joined by CR LF;
// or a line beginning "(error)" when the object cannot be found.
class ObjectDescriber
{
public:
    explicit ObjectDescriber(QString connectionString);

    void setConnectionString(const QString &connectionString) { m_connection = connectionString; }
    const QString &connectionString() const { return m_connection; }

    // table: the referenced table (its kind is the part after the first "_").
    // objectId: for a greeting "<call handler ObjectID>:<greeting type>", which
    // is shortened to the call handler's ObjectID.
    // pendingJumpTable: emptied, then set to the table once it names a kind
    // of object (it has a "_"), whether or not the kind is known.
    // unexpected: the first failure that is not simply "not found" (a query
    // the server rejects, a field the result lacks); the description is
    // still composed as far as it can be.
    QString strGetObjectIDData(const QString &table, QString &objectId, QString *pendingJumpTable = nullptr,
                               Error *unexpected = nullptr);

    // The message the main window shows for an unexpected failure.
    static QString unexpectedErrorMessage(const Error &error);

private:
    QString m_connection;
};

// The line for a DTMF access ID row none of whose parent columns is set.
inline const QString kDtmfWithoutParentLine = QStringLiteral(
    "(error) this DTMFAccessID entry has no parent distribution list, handler, location or subscriber");

} // namespace korva::navigation
