#include "main/mainsettings.h"

#include <QtGui/QAction>

#include <QtCore/QSettings>
#include <QtCore/QStringList>

#include <cmath>

namespace korva {

bool convertNumber(const QString &text, int *value)
{
    const QString t = text.trimmed();
    bool ok = false;
    const int i = t.toInt(&ok);
    if (ok) {
        *value = i;
        return true;
    }
    const double d = t.toDouble(&ok);
    if (ok && std::isfinite(d) && std::fabs(d) < 2147483647.0) {
        *value = int(std::lround(d));
        return true;
    }
    return false;
}

bool convertBoolean(const QString &text, bool *value)
{
    const QString t = text.trimmed();
    if (t.compare(u"true", Qt::CaseInsensitive) == 0) {
        *value = true;
        return true;
    }
    if (t.compare(u"false", Qt::CaseInsensitive) == 0) {
        *value = false;
        return true;
    }
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (ok) {
        *value = d != 0.0;
        return true;
    }
    return false;
}

namespace {

QString stored(QSettings &store, const QString &key, bool *present)
{
    const QVariant v = store.value(key);
    *present = v.isValid();
    return v.toString();
}

void readNumber(QSettings &store, const QString &key, int &target)
{
    bool present = false;
    const QString text = stored(store, key, &present);
    if (present)
        convertNumber(text, &target);
}

void readExactTrue(QSettings &store, const QString &key, bool &target)
{
    bool present = false;
    const QString text = stored(store, key, &present);
    if (present)
        target = text == u"True";
}

void readBoolean(QSettings &store, const QString &key, bool &target)
{
    bool present = false;
    const QString text = stored(store, key, &present);
    if (present)
        convertBoolean(text, &target);
}

QString boolText(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }

} // namespace

void loadMainSettings(QSettings &store, MainSettings &s)
{
    readNumber(store, QStringLiteral("Settings/MainLeft"), s.left);
    readNumber(store, QStringLiteral("Settings/MainTop"), s.top);
    readNumber(store, QStringLiteral("Settings/MainWidth"), s.width);
    readNumber(store, QStringLiteral("Settings/MainHeight"), s.height);
    readNumber(store, QStringLiteral("Settings/SplitterPos"), s.splitterPos);
    readExactTrue(store, QStringLiteral("Config/UseTables"), s.useTables);
    readExactTrue(store, QStringLiteral("Config/LockAlias"), s.lockAlias);
    readExactTrue(store, QStringLiteral("Config/LockObjectID"), s.lockObjectID);
    readExactTrue(store, QStringLiteral("Config/ShowObjectID"), s.showObjectID);
    readBoolean(store, QStringLiteral("Config/ShowWHEREClause"), s.showWhereClause);
    readBoolean(store, QStringLiteral("Config/OrvexDirDB"), s.dirDB);
    readBoolean(store, QStringLiteral("Config/OrvexDynDB"), s.dynDB);
    readBoolean(store, QStringLiteral("Config/OrvexMbxDB1"), s.mbxDB1);
    readBoolean(store, QStringLiteral("Config/OrvexRptDB"), s.rptDB);
}

void saveMainSettings(QSettings &store, const MainSettings &s, bool minimised)
{
    if (!minimised) {
        store.setValue(QStringLiteral("Settings/MainLeft"), QString::number(s.left));
        store.setValue(QStringLiteral("Settings/MainTop"), QString::number(s.top));
        store.setValue(QStringLiteral("Settings/MainWidth"), QString::number(s.width));
        store.setValue(QStringLiteral("Settings/MainHeight"), QString::number(s.height));
        store.setValue(QStringLiteral("Settings/SplitterPos"), QString::number(s.splitterPos));
    }
    store.setValue(QStringLiteral("Config/UseTables"), boolText(s.useTables));
    store.setValue(QStringLiteral("Config/LockAlias"), boolText(s.lockAlias));
    store.setValue(QStringLiteral("Config/LockObjectID"), boolText(s.lockObjectID));
    store.setValue(QStringLiteral("Config/ShowObjectID"), boolText(s.showObjectID));
    store.setValue(QStringLiteral("Config/ShowWHEREClause"), boolText(s.showWhereClause));
    store.setValue(QStringLiteral("Config/OrvexDirDB"), boolText(s.dirDB));
    store.setValue(QStringLiteral("Config/OrvexDynDB"), boolText(s.dynDB));
    store.setValue(QStringLiteral("Config/OrvexMbxDB1"), boolText(s.mbxDB1));
    store.setValue(QStringLiteral("Config/OrvexRptDB"), boolText(s.rptDB));
    store.sync();
}

CommandLine parseCommandLine(const QString &text)
{
    CommandLine c;
    for (const QString &piece : text.split(u' ')) {
        if (piece.contains(u"/named:", Qt::CaseInsensitive))
            c.instance = piece.mid(7);
        if (piece.contains(u"/Edit", Qt::CaseInsensitive))
            c.editMode = true;
    }
    if (c.instance.isEmpty())
        c.instance = QStringLiteral("zandelorvex");
    return c;
}

MainSettings readMainSettings(QSettings &store, const MainSettings *running)
{
    MainSettings s;
    if (running) {
        s.dirDB = running->dirDB;
        s.dynDB = running->dynDB;
        s.mbxDB1 = running->mbxDB1;
        s.rptDB = running->rptDB;
    }
    loadMainSettings(store, s);
    if (running) {
        s.left = running->left;
        s.top = running->top;
        s.width = running->width;
        s.height = running->height;
        s.splitterPos = running->splitterPos;
    }
    return s;
}

void showInMenu(const MainSettings &s, const SettingsMenu &m)
{
    m.useTables->setChecked(s.useTables);
    m.useViews->setChecked(!s.useTables);
    m.lockAlias->setChecked(s.lockAlias);
    m.lockObjectID->setChecked(s.lockObjectID);
    m.showObjectID->setChecked(s.showObjectID);
    m.showWhereClause->setChecked(s.showWhereClause);
    const bool databases[] = {s.dirDB, s.dynDB, s.mbxDB1, s.rptDB};
    for (int i = 0; i < 4; ++i)
        m.databases[i]->setChecked(databases[i]);
}

void takeFromMenu(MainSettings &s, const SettingsMenu &m)
{
    s.useTables = m.useTables->isChecked();
    s.lockAlias = m.lockAlias->isChecked();
    s.lockObjectID = m.lockObjectID->isChecked();
    s.showObjectID = m.showObjectID->isChecked();
    s.showWhereClause = m.showWhereClause->isChecked();
    bool *databases[] = {&s.dirDB, &s.dynDB, &s.mbxDB1, &s.rptDB};
    for (int i = 0; i < 4; ++i)
        *databases[i] = m.databases[i]->isChecked();
}

} // namespace korva
