#include "config/configurationdata.h"

#include "platform/database.h"
#include "platform/sqlquote.h"

#include <QtCore/QHash>
#include <QtCore/QSet>

namespace korva::config {

namespace {

// Enough to read every folder with the opening, in one trip to the server.
constexpr qsizetype kFolderRowsAtOnce = 1 << 20;

const char *const kValueColumns[] = {"ValueBool", "ValueDate", "ValueFloat", "ValueGUID", "ValueLong", "ValueString"};
const char16_t *const kValueTypes[] = {u"Bool", u"Date", u"Float", u"GUID", u"Long", u"String"};

bool isOne(const QVariant &v)
{
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok ? n == 1 : v.toString().compare(u"true", Qt::CaseInsensitive) == 0;
}

// Identifiers are GUID texts: plain ASCII, folded here without the cost of
// a full case conversion.
QString foldIdentifier(const QString &text)
{
    QString folded = text;
    for (QChar &c : folded) {
        const char16_t u = c.unicode();
        if (u >= 0x80)
            return text.toCaseFolded();
        if (u >= u'A' && u <= u'Z')
            c = QChar(char16_t(u + 32));
    }
    return folded;
}

QString textOf(db::ResultSet &rs, const QString &column)
{
    const int i = rs.fieldIndex(column);
    return i < 0 ? QString() : rs.rows().text(rs.position(), i);
}

} // namespace

QString folderQuery()
{
    return QStringLiteral("SELECT ObjectID, ParentID, Type, HasChildNodes, FullName FROM vw_Configuration "
                          "WHERE Type=1 OR HasChildNodes=1");
}

FolderRead readFolders(const QString &connection)
{
    FolderRead read;
    std::unique_ptr<db::ResultSet> rs = db::openResultSet(connection, folderQuery(), &read.error, db::Lock::ReadOnly,
                                                          kFolderRowsAtOnce);
    if (!rs)
        return read;
    rs->fetchAll();
    if (rs->lastError()) {
        read.error = rs->lastError();
        return read;
    }
    const int id = rs->fieldIndex(QStringLiteral("ObjectID"));
    const int parent = rs->fieldIndex(QStringLiteral("ParentID"));
    const int fullName = rs->fieldIndex(QStringLiteral("FullName"));
    const int type = rs->fieldIndex(QStringLiteral("Type"));
    const int children = rs->fieldIndex(QStringLiteral("HasChildNodes"));
    const db::RowStore &store = rs->rows();
    auto text = [&store](qsizetype row, int column) { return column < 0 ? QString() : store.text(row, column); };
    read.rows.reserve(store.rowCount());
    for (qsizetype r = 0; r < store.rowCount(); ++r) {
        FolderRow row;
        row.objectId = text(r, id);
        row.parentId = text(r, parent);
        row.fullName = text(r, fullName);
        row.root = type >= 0 && isOne(store.value(r, type));
        row.folder = children >= 0 && isOne(store.value(r, children));
        read.rows.append(row);
    }
    return read;
}

TreePlan planTree(const QList<FolderRow> &rows)
{
    TreePlan plan;
    // Identifiers compare as the server compares them, without regard to
    // case; each is folded once.
    QStringList ids;
    ids.reserve(rows.size());
    qsizetype root = -1;
    QHash<QString, QList<qsizetype>> children;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const FolderRow &r = rows.at(i);
        ids << foldIdentifier(r.objectId);
        if (root < 0 && r.root)
            root = i;
        if (r.folder && !r.parentId.isEmpty())
            children[foldIdentifier(r.parentId)].append(i);
    }
    if (root < 0 || !children.contains(ids.at(root))) {
        plan.noData = true;
        return plan;
    }

    struct Step
    {
        qsizetype row;
        QList<qsizetype> subFolders;
        qsizetype next = 0; // the next sub-folder to walk
    };
    QSet<QString> walked{ids.at(root)};
    QList<Step> path{Step{root, children.value(ids.at(root))}};
    while (!path.isEmpty()) {
        Step &step = path.last();
        if (step.subFolders.isEmpty()) {
            plan.leafFolders << rows.at(step.row).fullName;
            path.removeLast();
            continue;
        }
        if (step.next == step.subFolders.size()) {
            path.removeLast();
            continue;
        }
        const qsizetype child = step.subFolders.at(step.next++);
        if (!walked.contains(ids.at(child))) {
            walked.insert(ids.at(child));
            path.append(Step{child, children.value(ids.at(child))});
        }
    }
    return plan;
}

QStringList folderComponents(const QString &fullName)
{
    QStringList components = fullName.split(u'.');
    components.removeFirst();
    return components;
}

QString fullNameOfNode(const QString &nodeKey)
{
    return QStringLiteral("System.") + (nodeKey.endsWith(u'.') ? nodeKey.chopped(1) : nodeKey);
}

SettingValue settingValue(const std::array<std::optional<QString>, 6> &values, const QVariant &typeCode)
{
    SettingValue v{QStringLiteral("(none)"), QString()};
    for (size_t i = 0; i < values.size(); ++i) {
        if (values[i]) {
            v = {QString::fromUtf16(kValueTypes[i]), *values[i]};
            break;
        }
    }
    bool ok = false;
    const int code = typeCode.toInt(&ok);
    if (ok && !typeCode.isNull()) {
        switch (code) {
        case 3:
            v.type = QStringLiteral("Long");
            break;
        case 8:
            v.type = QStringLiteral("String");
            break;
        case 11:
            v.type = QStringLiteral("Bool");
            break;
        case 88:
            v.type = QStringLiteral("GUID");
            break;
        default:
            break;
        }
    }
    return v;
}

FolderSettings readFolderSettings(const QString &connection, const QString &fullName)
{
    FolderSettings out;
    QString folderId;
    {
        std::unique_ptr<db::ResultSet> rs = db::openResultSet(connection,
                                                              QStringLiteral(
                                                                  "SELECT * FROM vw_Configuration WHERE FullName=")
                                                                  + sql::quoteLiteral(fullName),
                                                              &out.error, db::Lock::ReadOnly, 2);
        if (!rs) {
            out.outcome = FolderSettings::Outcome::Failed;
            return out;
        }
        if (rs->recordCount() != 1) {
            out.outcome = FolderSettings::Outcome::NotFound;
            return out;
        }
        rs->moveFirst();
        folderId = textOf(*rs, QStringLiteral("ObjectID"));
    }
    std::unique_ptr<db::ResultSet> rs =
        db::openResultSet(connection,
                          QStringLiteral("SELECT * FROM vw_Configuration WHERE PArentID=") + sql::quoteLiteral(folderId)
                              + QStringLiteral(" and HasChildNodes=0"),
                          &out.error, db::Lock::ReadOnly, kFolderRowsAtOnce);
    if (!rs) {
        out.outcome = FolderSettings::Outcome::Failed;
        return out;
    }
    rs->fetchAll();
    int valueColumns[6];
    for (int i = 0; i < 6; ++i)
        valueColumns[i] = rs->fieldIndex(QString::fromLatin1(kValueColumns[i]));
    const int type = rs->fieldIndex(QStringLiteral("Type"));
    for (rs->moveFirst(); !rs->eof(); rs->moveNext()) {
        std::array<std::optional<QString>, 6> values;
        for (int i = 0; i < 6; ++i) {
            const int c = valueColumns[i];
            if (c >= 0 && !rs->rows().isNull(rs->position(), c))
                values[size_t(i)] = rs->rows().text(rs->position(), c);
        }
        const SettingValue v = settingValue(values, type >= 0 ? rs->field(type) : QVariant());
        out.rows.append(
            {textOf(*rs, QStringLiteral("FullName")), textOf(*rs, QStringLiteral("Name")), v.type, v.value});
    }
    if (rs->lastError()) {
        out.outcome = FolderSettings::Outcome::Failed;
        out.error = rs->lastError();
    }
    return out;
}

QString removeDocumentType(QString text)
{
    return text.remove(QStringLiteral("<!DOCTYPE OrvexConfigurationData SYSTEM \"OrvexConfigurationData.dtd\"[]>"),
                       Qt::CaseInsensitive);
}

std::optional<QString> loadDescriptions(const QByteArray &bytes, xml::Document *doc)
{
    if (doc->loadFromText(removeDocumentType(xml::decodeDocument(bytes))))
        return std::nullopt;
    return QStringLiteral("XML problem - can't open Orvex configuration data dictionary.  Error Reason=")
           + doc->parseErrorReason() + QStringLiteral("\non line ") + QString::number(doc->parseErrorLine());
}

QString settingDescription(const xml::Document &doc, const QString &key, const QString &path)
{
    QString expression = QStringLiteral("OrvexConfigurationData/Product[@name='Orvex5.0']");
    for (const QString &component : folderComponents(path))
        expression += QStringLiteral("/Node[@name=") + xml::literal(component) + u']';
    const xml::Node node = doc.isLoaded() ? doc.selectSingleNode(expression) : xml::Node();
    return QStringLiteral("Name: ") + key + QStringLiteral("\r\nFull Path: ") + path + QStringLiteral("\r\nType: ")
           + node.attributeText(QStringLiteral("type")) + QStringLiteral("\r\nDefault: ")
           + node.attributeText(QStringLiteral("default")) + QStringLiteral("\r\nMin: ")
           + node.attributeText(QStringLiteral("min")) + QStringLiteral("\r\nMax: ")
           + node.attributeText(QStringLiteral("max")) + QStringLiteral("\r\nDescription: ") + node.text();
}

} // namespace korva::config
