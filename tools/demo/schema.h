#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <optional>

namespace korva::demo {

// SQL Server column types the product uses.
enum class SqlType {
    UniqueIdentifier,
    NVarChar,
    VarChar,
    NChar,
    NText,
    Int,
    BigInt,
    SmallInt,
    TinyInt,
    Bit,
    DateTime,
    Float,
    Money,
    VarBinary,
};

QString sqlTypeName(SqlType type); // "nvarchar", "uniqueidentifier", ...
bool isTextType(SqlType type);
bool isIntegerType(SqlType type);

// One column of a base table: what the database declares, what the data
// dictionary says about it, and how demo rows fill it when a row leaves it
// unset.
struct ColumnDef
{
    QString name;
    SqlType type = SqlType::NVarChar;
    int length = 0; // characters for text, bytes otherwise (as the dictionary shows it)
    QString description;
    QString notes;
    QString customType;
    QString linkTable; // the table an ObjectID column points into
    bool primaryKey = false;
    bool notNull = false;

    // Filling rows.
    QStringList values;  // pick one of these
    qint64 minValue = 0; // numbers
    qint64 maxValue = 100;
    int nullPercent = 0;       // chance of null
    bool fixedDefault = false; // a declared DEFAULT (first of values)

    QString declaration() const; // "nvarchar(64)", "int"
};

struct TableDef
{
    QString name;
    QString entity; // "call handler": how descriptions name one row
    QString description;
    QString notes;
    QList<ColumnDef> columns;
    QStringList sampleNames; // display names the generic filler uses in turn
    int rows = 0;            // rows the generic filler makes (0: filled by hand)
    int phase = 0;           // generic rows of phase 1 are made after the hand-made ones

    int columnIndex(const QString &name) const; // case-insensitive; -1 if absent
    const ColumnDef *column(const QString &name) const;
    QString primaryKey() const;
};

struct ViewColumnDef
{
    QString name;
    QString expression;     // SQL for the select list
    QString tableColumnRef; // "tbl_X.Column" or empty for a computed column
};

struct ViewDef
{
    QString name;
    QString from; // FROM clause without the keyword
    QList<ViewColumnDef> columns;
};

struct EnumValue
{
    QString value;
    QString description;
};

struct CustomTypeDef
{
    QString name;
    QString description;
    QString restriction; // "Enumeration", "Length", "Regex", another word, or empty for none
    QList<EnumValue> values;
    int minLength = 0;
    int maxLength = 0;
    QString regexDescription;
    QString expression;
};

struct ParameterDef
{
    QString name; // with its "@"
    QString typeName;
    int length = 0;
    bool output = false;
    QString defaultValue; // as written after "=" in the definition
    // Dictionary.
    QString refTable;
    QString refColumn;
    QString description;
    QString notes;
    bool described = true;
};

struct ExceptionDef
{
    QString name;
    QString description;
};

struct ProcedureDef
{
    QString name;
    QList<ParameterDef> parameters;
    QString body; // SQLite statements after AS
    // Dictionary; a procedure with an empty description is left out of it.
    QString description;
    QString notes;
    QList<ExceptionDef> exceptions;

    QString definition() const; // full CREATE PROCEDURE text
};

struct DatabaseDef
{
    QString name;           // as the server knows it: OrvexMbxDB1
    QString dictionaryFile; // OrvexMbxDB.xml
    QString description;
    QList<TableDef> tables;
    QList<ViewDef> views;
    QList<CustomTypeDef> customTypes;
    QList<ProcedureDef> procedures;
    QStringList indexes; // CREATE INDEX statements run after the rows are in

    TableDef *table(const QString &name);
    const TableDef *table(const QString &name) const;
    const ViewDef *view(const QString &name) const;
};

// Builds table definitions tersely; every helper adds one column and the
// modifiers after it (notes(), pick(), ...) apply to the column added last.
class TableBuilder
{
public:
    explicit TableBuilder(TableDef &table) : m_table(&table) {}

    TableBuilder &id(const QString &name = QStringLiteral("ObjectID"), const QString &description = {});
    TableBuilder &guid(const QString &name, const QString &description = {});
    TableBuilder &ref(const QString &name, const QString &target, const QString &description = {});
    TableBuilder &text(const QString &name, int length, const QString &description = {});
    TableBuilder &varchar(const QString &name, int length, const QString &description = {});
    TableBuilder &nchar(const QString &name, int length, const QString &description = {});
    TableBuilder &ntext(const QString &name, const QString &description = {});
    TableBuilder &integer(const QString &name, const QString &description = {});
    TableBuilder &bigint(const QString &name, const QString &description = {});
    TableBuilder &smallint(const QString &name, const QString &description = {});
    TableBuilder &tinyint(const QString &name, const QString &description = {});
    TableBuilder &bit(const QString &name, const QString &description = {});
    TableBuilder &datetime(const QString &name, const QString &description = {});
    TableBuilder &real(const QString &name, const QString &description = {});
    TableBuilder &money(const QString &name, const QString &description = {});
    TableBuilder &binary(const QString &name, int length, const QString &description = {});

    TableBuilder &notes(const QString &notes);
    TableBuilder &type(const QString &customType);
    TableBuilder &pick(const QStringList &values);
    TableBuilder &range(qint64 min, qint64 max);
    TableBuilder &nulls(int percent);
    TableBuilder &key(); // part of the primary key
    TableBuilder &required();

    TableBuilder &entity(const QString &entity);
    TableBuilder &tableNotes(const QString &notes);
    TableBuilder &names(const QStringList &names);
    TableBuilder &rows(int count, int phase = 0);

    TableDef &def() { return *m_table; }

private:
    TableBuilder &add(const QString &name, SqlType type, int length, const QString &description);
    ColumnDef &last() { return m_table->columns.last(); }
    TableDef *m_table;
};

TableBuilder addTable(DatabaseDef &db, const QString &name, const QString &description);

// A view over one table showing all its columns under their own names.
ViewDef &addPlainView(DatabaseDef &db, const QString &view, const QString &table);
// A view whose columns are listed one by one with addViewColumn.
ViewDef &addView(DatabaseDef &db, const QString &view, const QString &from);
// "tbl_X.Col" both as the expression and as the dictionary reference, or
// with its own expression (an alias of a joined table).
void addViewColumn(ViewDef &view, const QString &name, const QString &tableColumnRef, const QString &expression = {});
// Every column of a table, through an expression prefix ("u." or "tbl_User.").
void addViewColumns(ViewDef &view, const TableDef &table, const QString &prefix, const QStringList &except = {});

QString createTableSql(const TableDef &table);
QString createViewSql(const ViewDef &view);

// The data dictionary document of a database, in the mixed case the
// product writes it.
QByteArray dictionaryXml(const DatabaseDef &db);

// Fills empty descriptions with the wording the product uses for its
// common columns (ObjectID, DisplayName, references, ...).
void completeDescriptions(DatabaseDef &db);

} // namespace korva::demo
