#include "main/databaseopening.h"

#include "main/databases.h"
#include "platform/database.h"
#include "platform/fileio.h"

namespace korva {

namespace {

// Real dictionaries are a few megabytes; anything far larger is not one.
constexpr qint64 kMaxDictionaryBytes = 256 * 1024 * 1024;

void readTableList(const OpeningRequest &r, OpenedDatabase &out)
{
    Error e;
    std::shared_ptr<db::ResultSet> rs = db::openResultSet(r.connection, r.tableListQuery, &e);
    if (!rs) {
        out.tableErrors << e;
        // Showing the list needs the result set that did not open.
        out.tableErrors << Error{db::kErrClosed, QStringLiteral("Operation is not allowed when the object is closed.")};
        return;
    }
    rs->fetchAll();
    if (rs->lastError()) {
        // A list that broke off partway is not shown as if it were whole.
        out.tableErrors << rs->lastError();
        return;
    }
    out.tables = std::move(rs);
}

void readDictionary(const OpeningRequest &r, OpenedDatabase &out)
{
    // A server attached with no installation here has no dictionary to load.
    if (!r.withDictionary)
        return;
    QByteArray bytes;
    const ReadStatus read = r.dictionaryPath.isEmpty() ? ReadStatus::Missing
                                                       : readRegularFile(r.dictionaryPath, kMaxDictionaryBytes, &bytes);
    if (read == ReadStatus::Missing || read == ReadStatus::NotRegular || read == ReadStatus::Failed) {
        out.dictionaryState = OpenedDatabase::Dictionary::Missing;
        return;
    }
    // Decoded as the file says it is encoded, then lower-cased whole; the
    // markup keywords that must stay upper case are put back.
    QString text = xml::decodeDocument(bytes).toLower();
    text.replace(QStringLiteral("<![cdata["), QStringLiteral("<![CDATA["));
    text.replace(QStringLiteral("<!doctype"), QStringLiteral("<!DOCTYPE"));
    const bool loaded = read != ReadStatus::TooLarge && out.dictionary.loadFromText(text);
    out.dictionaryState = loaded ? OpenedDatabase::Dictionary::Loaded : OpenedDatabase::Dictionary::Broken;
}

void readKnownNames(const OpeningRequest &r, OpenedDatabase &out)
{
    const QString catalogue = QStringLiteral("OrvexDirDB.dbo.sysobjects");
    for (const bool tables : {false, true}) {
        Error e;
        auto rs = db::openResultSet(r.connection, tableListQuery(tables, catalogue), &e);
        if (!rs)
            continue;
        QString &target = tables ? out.knownTableNames : out.knownViewNames;
        for (rs->moveFirst(); !rs->eof(); rs->moveNext())
            target += rs->field(0).toString() + u' ';
    }
}

} // namespace

OpenedDatabase openDatabase(const OpeningRequest &request)
{
    OpenedDatabase out;
    readTableList(request, out);
    readDictionary(request, out);
    if (request.withKnownNames)
        readKnownNames(request, out);
    return out;
}

} // namespace korva
