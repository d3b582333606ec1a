#include "schema.h"

#include <QtCore/QRegularExpression>
#include <QtCore/QXmlStreamWriter>

namespace korva::demo {

QString sqlTypeName(SqlType type)
{
    switch (type) {
    case SqlType::UniqueIdentifier:
        return QStringLiteral("uniqueidentifier");
    case SqlType::NVarChar:
        return QStringLiteral("nvarchar");
    case SqlType::VarChar:
        return QStringLiteral("varchar");
    case SqlType::NChar:
        return QStringLiteral("nchar");
    case SqlType::NText:
        return QStringLiteral("ntext");
    case SqlType::Int:
        return QStringLiteral("int");
    case SqlType::BigInt:
        return QStringLiteral("bigint");
    case SqlType::SmallInt:
        return QStringLiteral("smallint");
    case SqlType::TinyInt:
        return QStringLiteral("tinyint");
    case SqlType::Bit:
        return QStringLiteral("bit");
    case SqlType::DateTime:
        return QStringLiteral("datetime");
    case SqlType::Float:
        return QStringLiteral("float");
    case SqlType::Money:
        return QStringLiteral("money");
    case SqlType::VarBinary:
        return QStringLiteral("varbinary");
    }
    return {};
}

bool isTextType(SqlType type)
{
    // Dates are kept as text in SQL Server's style, so they compare like it.
    switch (type) {
    case SqlType::UniqueIdentifier:
    case SqlType::NVarChar:
    case SqlType::VarChar:
    case SqlType::NChar:
    case SqlType::NText:
    case SqlType::DateTime:
        return true;
    default:
        return false;
    }
}

bool isIntegerType(SqlType type)
{
    switch (type) {
    case SqlType::Int:
    case SqlType::BigInt:
    case SqlType::SmallInt:
    case SqlType::TinyInt:
    case SqlType::Bit:
        return true;
    default:
        return false;
    }
}

QString ColumnDef::declaration() const
{
    switch (type) {
    case SqlType::NVarChar:
    case SqlType::VarChar:
    case SqlType::NChar:
    case SqlType::VarBinary:
        return sqlTypeName(type) + u'(' + QString::number(length) + u')';
    default:
        return sqlTypeName(type);
    }
}

int TableDef::columnIndex(const QString &name) const
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const ColumnDef *TableDef::column(const QString &name) const
{
    const int i = columnIndex(name);
    return i < 0 ? nullptr : &columns[i];
}

QString TableDef::primaryKey() const
{
    for (const ColumnDef &c : columns)
        if (c.primaryKey)
            return c.name;
    return {};
}

QString ProcedureDef::definition() const
{
    QString text = QStringLiteral("CREATE PROCEDURE ") + name;
    for (int i = 0; i < parameters.size(); ++i) {
        const ParameterDef &p = parameters[i];
        text += (i == 0 ? QStringLiteral("\n    ") : QStringLiteral(",\n    ")) + p.name + u' ' + p.typeName;
        if (p.typeName == u"nvarchar" || p.typeName == u"varchar" || p.typeName == u"varbinary")
            text += u'(' + QString::number(p.length) + u')';
        if (!p.defaultValue.isEmpty())
            text += QStringLiteral(" = ") + p.defaultValue;
        if (p.output)
            text += QStringLiteral(" OUTPUT");
    }
    return text + QStringLiteral("\nAS\n") + body.trimmed() + u'\n';
}

TableDef *DatabaseDef::table(const QString &name)
{
    for (TableDef &t : tables)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

const TableDef *DatabaseDef::table(const QString &name) const { return const_cast<DatabaseDef *>(this)->table(name); }

const ViewDef *DatabaseDef::view(const QString &name) const
{
    for (const ViewDef &v : views)
        if (v.name.compare(name, Qt::CaseInsensitive) == 0)
            return &v;
    return nullptr;
}

// --- builder ---------------------------------------------------------------

TableBuilder &TableBuilder::add(const QString &name, SqlType type, int length, const QString &description)
{
    ColumnDef c;
    c.name = name;
    c.type = type;
    c.length = length;
    c.description = description;
    switch (type) {
    case SqlType::Bit:
        c.maxValue = 1;
        break;
    case SqlType::TinyInt:
        c.maxValue = 10;
        break;
    default:
        break;
    }
    m_table->columns.append(c);
    return *this;
}

TableBuilder &TableBuilder::id(const QString &name, const QString &description)
{
    add(name, SqlType::UniqueIdentifier, 16, description);
    last().primaryKey = true;
    last().notNull = true;
    return *this;
}

TableBuilder &TableBuilder::guid(const QString &name, const QString &description)
{
    return add(name, SqlType::UniqueIdentifier, 16, description);
}

TableBuilder &TableBuilder::ref(const QString &name, const QString &target, const QString &description)
{
    add(name, SqlType::UniqueIdentifier, 16, description);
    last().linkTable = target;
    return *this;
}

TableBuilder &TableBuilder::text(const QString &name, int length, const QString &description)
{
    return add(name, SqlType::NVarChar, length, description);
}

TableBuilder &TableBuilder::varchar(const QString &name, int length, const QString &description)
{
    return add(name, SqlType::VarChar, length, description);
}

TableBuilder &TableBuilder::nchar(const QString &name, int length, const QString &description)
{
    return add(name, SqlType::NChar, length, description);
}

TableBuilder &TableBuilder::ntext(const QString &name, const QString &description)
{
    return add(name, SqlType::NText, 16, description);
}

TableBuilder &TableBuilder::integer(const QString &name, const QString &description)
{
    return add(name, SqlType::Int, 4, description);
}

TableBuilder &TableBuilder::bigint(const QString &name, const QString &description)
{
    return add(name, SqlType::BigInt, 8, description);
}

TableBuilder &TableBuilder::smallint(const QString &name, const QString &description)
{
    return add(name, SqlType::SmallInt, 2, description);
}

TableBuilder &TableBuilder::tinyint(const QString &name, const QString &description)
{
    return add(name, SqlType::TinyInt, 1, description);
}

TableBuilder &TableBuilder::bit(const QString &name, const QString &description)
{
    return add(name, SqlType::Bit, 1, description);
}

TableBuilder &TableBuilder::datetime(const QString &name, const QString &description)
{
    return add(name, SqlType::DateTime, 8, description);
}

TableBuilder &TableBuilder::real(const QString &name, const QString &description)
{
    return add(name, SqlType::Float, 8, description);
}

TableBuilder &TableBuilder::money(const QString &name, const QString &description)
{
    return add(name, SqlType::Money, 8, description);
}

TableBuilder &TableBuilder::binary(const QString &name, int length, const QString &description)
{
    return add(name, SqlType::VarBinary, length, description);
}

TableBuilder &TableBuilder::notes(const QString &notes)
{
    last().notes = notes;
    return *this;
}

TableBuilder &TableBuilder::type(const QString &customType)
{
    last().customType = customType;
    return *this;
}

TableBuilder &TableBuilder::pick(const QStringList &values)
{
    last().values = values;
    return *this;
}

TableBuilder &TableBuilder::range(qint64 min, qint64 max)
{
    last().minValue = min;
    last().maxValue = max;
    return *this;
}

TableBuilder &TableBuilder::nulls(int percent)
{
    last().nullPercent = percent;
    return *this;
}

TableBuilder &TableBuilder::key()
{
    last().primaryKey = true;
    last().notNull = true;
    return *this;
}

TableBuilder &TableBuilder::required()
{
    last().notNull = true;
    return *this;
}

TableBuilder &TableBuilder::entity(const QString &entity)
{
    m_table->entity = entity;
    return *this;
}

TableBuilder &TableBuilder::tableNotes(const QString &notes)
{
    m_table->notes = notes;
    return *this;
}

TableBuilder &TableBuilder::names(const QStringList &names)
{
    m_table->sampleNames = names;
    return *this;
}

TableBuilder &TableBuilder::rows(int count, int phase)
{
    m_table->rows = count;
    m_table->phase = phase;
    return *this;
}

namespace {

// "tbl_MediaPortGroup" -> "media port group"
QString entityFromName(const QString &tableName)
{
    QString bare = tableName.mid(tableName.indexOf(u'_') + 1);
    QString out;
    for (int i = 0; i < bare.size(); ++i) {
        const QChar c = bare[i];
        const bool boundary = i > 0 && c.isUpper()
                              && (bare[i - 1].isLower() || (i + 1 < bare.size() && bare[i + 1].isLower()));
        if (boundary)
            out += u' ';
        out += c;
    }
    // Keep acronyms (VMS, SMTP) as written, lower the rest.
    QStringList words = out.split(u' ');
    for (QString &w : words)
        if (w.size() > 1 && w.at(1).isLower())
            w = w.toLower();
    return words.join(u' ');
}

} // namespace

TableBuilder addTable(DatabaseDef &db, const QString &name, const QString &description)
{
    TableDef t;
    t.name = name;
    t.entity = entityFromName(name);
    t.description = description;
    db.tables.append(t);
    return TableBuilder(db.tables.last());
}

ViewDef &addPlainView(DatabaseDef &db, const QString &view, const QString &table)
{
    ViewDef &v = addView(db, view, table);
    // A misspelt table leaves the view without columns; creating it fails.
    if (const TableDef *t = db.table(table))
        addViewColumns(v, *t, QString());
    return v;
}

ViewDef &addView(DatabaseDef &db, const QString &view, const QString &from)
{
    ViewDef v;
    v.name = view;
    v.from = from;
    db.views.append(v);
    return db.views.last();
}

void addViewColumn(ViewDef &view, const QString &name, const QString &tableColumnRef, const QString &expression)
{
    view.columns.append({name, expression.isEmpty() ? tableColumnRef : expression, tableColumnRef});
}

void addViewColumns(ViewDef &view, const TableDef &table, const QString &prefix, const QStringList &except)
{
    for (const ColumnDef &c : table.columns) {
        if (except.contains(c.name, Qt::CaseInsensitive))
            continue;
        addViewColumn(view, c.name, table.name + u'.' + c.name, prefix + c.name);
    }
}

QString createTableSql(const TableDef &table)
{
    QString sql = QStringLiteral("CREATE TABLE ") + table.name + QStringLiteral(" (\n");
    QStringList keys;
    for (const ColumnDef &c : table.columns) {
        sql += QStringLiteral("    ") + c.name + u' ' + c.declaration();
        if (isTextType(c.type))
            sql += QStringLiteral(" COLLATE NOCASE");
        if (c.notNull)
            sql += QStringLiteral(" NOT NULL");
        if (c.fixedDefault && !c.values.isEmpty())
            sql += QStringLiteral(" DEFAULT ") + c.values.first();
        sql += QStringLiteral(",\n");
        if (c.primaryKey)
            keys << c.name;
    }
    sql += QStringLiteral("    PRIMARY KEY (") + keys.join(QStringLiteral(", ")) + QStringLiteral(")\n)");
    return sql;
}

QString createViewSql(const ViewDef &view)
{
    QStringList select;
    for (const ViewColumnDef &c : view.columns) {
        const QString bare = c.expression.mid(c.expression.lastIndexOf(u'.') + 1);
        select << (bare == c.name ? c.expression : c.expression + QStringLiteral(" AS ") + c.name);
    }
    return QStringLiteral("CREATE VIEW ") + view.name + QStringLiteral(" AS\nSELECT ")
           + select.join(QStringLiteral(",\n       ")) + QStringLiteral("\nFROM ") + view.from;
}

// --- dictionary ------------------------------------------------------------

namespace {

QString describeColumn(const DatabaseDef &db, const TableDef &table, const ColumnDef &c)
{
    const QString e = table.entity;
    const QString n = c.name;
    if (c.primaryKey && c.type == SqlType::UniqueIdentifier)
        return QStringLiteral("Unique identifier of the %1. Other tables refer to the %1 by this value.").arg(e);
    if (!c.linkTable.isEmpty()) {
        const TableDef *target = db.table(c.linkTable);
        const QString te = target ? target->entity : c.linkTable;
        return QStringLiteral("Identifies the %1 (%2) for this %3.").arg(te, c.linkTable, e);
    }
    static const QHash<QString, QString> common = {
        {QStringLiteral("DisplayName"),
         QStringLiteral("Name of the %1 as shown in the administration console and read out by the directory.")},
        {QStringLiteral("Alias"),
         QStringLiteral("Unique short name of the %1; used to sign in and to address messages.")},
        {QStringLiteral("FirstName"), QStringLiteral("First (given) name.")},
        {QStringLiteral("LastName"), QStringLiteral("Last (family) name; the directory sorts and searches by it.")},
        {QStringLiteral("CreationTime"), QStringLiteral("Date and time the %1 was created.")},
        {QStringLiteral("LastModified"), QStringLiteral("Date and time the %1 was last changed.")},
        {QStringLiteral("Enabled"), QStringLiteral("1 when the %1 is in use; 0 keeps it but ignores it.")},
        {QStringLiteral("Active"), QStringLiteral("1 when the %1 is currently active.")},
        {QStringLiteral("Description"), QStringLiteral("Free text describing the %1.")},
        {QStringLiteral("SortOrder"), QStringLiteral("Position of the %1 among its siblings, lowest first.")},
        {QStringLiteral("Language"),
         QStringLiteral("Language of the prompts for the %1, as a Windows locale id (1033 = English, United States).")},
        {QStringLiteral("LanguageCode"),
         QStringLiteral("Windows locale id of the language (1033 = English, United States).")},
        {QStringLiteral("IPAddress"), QStringLiteral("IP address in dotted form.")},
        {QStringLiteral("HostName"), QStringLiteral("Network host name of the server.")},
        {QStringLiteral("Port"), QStringLiteral("TCP port number.")},
        {QStringLiteral("ServerName"), QStringLiteral("Network name of the server.")},
        {QStringLiteral("EmailAddress"), QStringLiteral("SMTP address.")},
        {QStringLiteral("TimeExpires"), QStringLiteral("When set, the %1 stops applying at this date and time.")},
        {QStringLiteral("IsPrimary"), QStringLiteral("1 for the primary %1 of its owner.")},
        {QStringLiteral("PhoneNumber"),
         QStringLiteral("Number as dialled, digits only, including any trunk access code.")},
        {QStringLiteral("Extension"), QStringLiteral("Extension or number that the system dials.")},
    };
    if (const auto it = common.constFind(n); it != common.cend())
        return it->contains(u'%') ? it->arg(e) : *it;
    // Rare fallback: the column name in words.
    QString words = entityFromName(QStringLiteral("x_") + n);
    return words.left(1).toUpper() + words.mid(1) + QStringLiteral(" of the ") + e + u'.';
}

} // namespace

void completeDescriptions(DatabaseDef &db)
{
    for (TableDef &t : db.tables) {
        for (ColumnDef &c : t.columns) {
            if (c.description.isEmpty())
                c.description = describeColumn(db, t, c);
            if (c.notes.isEmpty() && !c.linkTable.isEmpty()) {
                const TableDef *target = db.table(c.linkTable);
                const QString key = target ? target->primaryKey() : QStringLiteral("ObjectID");
                c.notes = QStringLiteral("Holds the %1 of a row in %2; null when there is none.").arg(key, c.linkTable);
            }
        }
        if (t.description.isEmpty())
            t.description = QStringLiteral("One row per %1.").arg(t.entity);
    }
}

QByteArray dictionaryXml(const DatabaseDef &db)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(2);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("OrvexDataDictionary"));
    w.writeAttribute(QStringLiteral("Database"), db.name);
    w.writeAttribute(QStringLiteral("Version"), QStringLiteral("5.0.2"));
    w.writeAttribute(QStringLiteral("Description"), db.description);

    w.writeStartElement(QStringLiteral("Tables"));
    for (const TableDef &t : db.tables) {
        w.writeStartElement(QStringLiteral("Table"));
        w.writeAttribute(QStringLiteral("Name"), t.name);
        w.writeAttribute(QStringLiteral("Description"), t.description);
        if (!t.notes.isEmpty())
            w.writeTextElement(QStringLiteral("Notes"), t.notes);
        w.writeStartElement(QStringLiteral("Columns"));
        for (const ColumnDef &c : t.columns) {
            w.writeStartElement(QStringLiteral("Column"));
            w.writeAttribute(QStringLiteral("Name"), c.name);
            w.writeAttribute(QStringLiteral("DataType"), sqlTypeName(c.type));
            w.writeAttribute(QStringLiteral("Length"), QString::number(c.length));
            w.writeAttribute(QStringLiteral("Description"), c.description);
            if (!c.customType.isEmpty())
                w.writeAttribute(QStringLiteral("CustomType"), c.customType);
            if (!c.notes.isEmpty())
                w.writeTextElement(QStringLiteral("Notes"), c.notes);
            w.writeEndElement();
        }
        w.writeEndElement(); // Columns
        bool anyLink = false;
        for (const ColumnDef &c : t.columns) {
            if (c.linkTable.isEmpty())
                continue;
            if (!anyLink)
                w.writeStartElement(QStringLiteral("Links"));
            anyLink = true;
            w.writeStartElement(QStringLiteral("Link"));
            w.writeAttribute(QStringLiteral("ObjectID"), c.name);
            w.writeEmptyElement(QStringLiteral("LinkData"));
            w.writeAttribute(QStringLiteral("Table"), c.linkTable);
            w.writeEndElement();
        }
        if (anyLink)
            w.writeEndElement(); // Links
        w.writeEndElement();     // Table
    }
    w.writeEndElement(); // Tables

    w.writeStartElement(QStringLiteral("Views"));
    for (const ViewDef &v : db.views) {
        w.writeStartElement(QStringLiteral("View"));
        w.writeAttribute(QStringLiteral("Name"), v.name);
        w.writeStartElement(QStringLiteral("Columns"));
        for (const ViewColumnDef &c : v.columns) {
            w.writeEmptyElement(QStringLiteral("Column"));
            w.writeAttribute(QStringLiteral("Name"), c.name);
            if (!c.tableColumnRef.isEmpty())
                w.writeAttribute(QStringLiteral("TableColumnRef"), c.tableColumnRef);
        }
        w.writeEndElement();
        w.writeEndElement();
    }
    w.writeEndElement(); // Views

    w.writeStartElement(QStringLiteral("CustomTypes"));
    for (const CustomTypeDef &ct : db.customTypes) {
        w.writeStartElement(QStringLiteral("CustomType"));
        w.writeAttribute(QStringLiteral("Name"), ct.name);
        w.writeAttribute(QStringLiteral("Description"), ct.description);
        if (!ct.restriction.isEmpty()) {
            w.writeStartElement(QStringLiteral("Restrictions"));
            w.writeStartElement(QStringLiteral("Restriction"));
            w.writeAttribute(QStringLiteral("Type"), ct.restriction);
            if (ct.restriction.compare(u"Length", Qt::CaseInsensitive) == 0) {
                w.writeAttribute(QStringLiteral("Min"), QString::number(ct.minLength));
                w.writeAttribute(QStringLiteral("Max"), QString::number(ct.maxLength));
            } else if (ct.restriction.compare(u"Regex", Qt::CaseInsensitive) == 0) {
                w.writeAttribute(QStringLiteral("Description"), ct.regexDescription);
                w.writeAttribute(QStringLiteral("Expression"), ct.expression);
            } else if (ct.restriction.compare(u"Enumeration", Qt::CaseInsensitive) == 0) {
                w.writeStartElement(QStringLiteral("Values"));
                for (const EnumValue &v : ct.values) {
                    w.writeEmptyElement(QStringLiteral("Value"));
                    w.writeAttribute(QStringLiteral("Value"), v.value);
                    w.writeAttribute(QStringLiteral("Description"), v.description);
                }
                w.writeEndElement();
            }
            w.writeEndElement();
            w.writeEndElement();
        }
        w.writeEndElement();
    }
    w.writeEndElement(); // CustomTypes

    w.writeStartElement(QStringLiteral("StoredProcs"));
    for (const ProcedureDef &p : db.procedures) {
        if (p.description.isEmpty())
            continue;
        w.writeStartElement(QStringLiteral("StoredProc"));
        w.writeAttribute(QStringLiteral("Name"), p.name);
        w.writeAttribute(QStringLiteral("Description"), p.description);
        // The element's own text is the procedure's notes.
        if (!p.notes.isEmpty())
            w.writeCharacters(p.notes);
        bool anyParam = false;
        for (const ParameterDef &par : p.parameters) {
            if (!par.described)
                continue;
            if (!anyParam)
                w.writeStartElement(QStringLiteral("Params"));
            anyParam = true;
            w.writeStartElement(QStringLiteral("Param"));
            w.writeAttribute(QStringLiteral("Name"), par.name);
            if (!par.refTable.isEmpty()) {
                w.writeAttribute(QStringLiteral("RefTable"), par.refTable);
                w.writeAttribute(QStringLiteral("RefColumn"), par.refColumn);
            }
            if (!par.description.isEmpty())
                w.writeAttribute(QStringLiteral("Description"), par.description);
            if (!par.notes.isEmpty())
                w.writeCharacters(par.notes);
            w.writeEndElement();
        }
        if (anyParam)
            w.writeEndElement();
        if (!p.exceptions.isEmpty()) {
            w.writeStartElement(QStringLiteral("ExceptionList"));
            for (const ExceptionDef &e : p.exceptions) {
                w.writeEmptyElement(QStringLiteral("Exception"));
                w.writeAttribute(QStringLiteral("Name"), e.name);
                w.writeAttribute(QStringLiteral("Description"), e.description);
            }
            w.writeEndElement();
        }
        w.writeEndElement();
    }
    w.writeEndElement(); // StoredProcs

    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

} // namespace korva::demo
