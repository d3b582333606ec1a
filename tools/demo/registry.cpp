#include "registry.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QLockFile>
#include <QtCore/QSaveFile>
#include <QtCore/QStringDecoder>
#include <QtCore/QXmlStreamWriter>

namespace korva::demo {

namespace {

const QString kMachine = QStringLiteral("HKEY_LOCAL_MACHINE");
const QString kProductKey = QStringLiteral("SOFTWARE\\Zandel Systems\\Zandel Orvex");
const QString kSettingsKey = QStringLiteral("SOFTWARE\\Brisvane");
// The browser keeps its saved queries here; a rebuilt installation keeps them.
const QString kToolKey = QStringLiteral("SOFTWARE\\Brisvane\\Fennick");

RegValueDef str(const QString &name, const QString &text, const QString &description, const QString &def = {})
{
    RegValueDef v;
    v.name = name;
    v.text = text;
    v.description = description;
    v.defaultText = def;
    return v;
}

RegValueDef dword(const QString &name, quint32 number, const QString &description, const QString &def = {})
{
    RegValueDef v;
    v.name = name;
    v.kind = RegValueDef::Kind::DWord;
    v.number = number;
    v.description = description;
    v.defaultText = def.isNull() ? QString::number(number) : def;
    return v;
}

RegValueDef binary(const QString &name, const QByteArray &bytes, const QString &description)
{
    RegValueDef v;
    v.name = name;
    v.kind = RegValueDef::Kind::Binary;
    v.bytes = bytes;
    v.description = description;
    return v;
}

RegValueDef expand(const QString &name, const QString &text, const QString &description)
{
    RegValueDef v = str(name, text, description, text);
    v.kind = RegValueDef::Kind::ExpandString;
    return v;
}

RegValueDef multi(const QString &name, const QStringList &strings, const QString &description)
{
    RegValueDef v;
    v.name = name;
    v.kind = RegValueDef::Kind::MultiString;
    v.strings = strings;
    v.description = description;
    return v;
}

// A directory synchronisation filter as administrators build them: long.
QString syncFilter()
{
    QString filter = QStringLiteral("(&(objectCategory=person)(|");
    int n = 0;
    while (filter.size() < 5200) {
        filter += QStringLiteral("(physicalDeliveryOfficeName=Harbour Point Site %1)(department=Division %2)")
                      .arg(n % 40, 2, 10, QLatin1Char('0'))
                      .arg(n, 3, 10, QLatin1Char('0'));
        ++n;
    }
    return filter + QStringLiteral("))");
}

QByteArray utf16z(const QStringList &strings, bool multiString)
{
    QByteArray out;
    for (const QString &s : strings) {
        for (QChar c : s) {
            out.append(char(c.unicode() & 0xFF));
            out.append(char(c.unicode() >> 8));
        }
        out.append(2, '\0');
    }
    if (multiString)
        out.append(2, '\0');
    return out;
}

QString quoted(QString text)
{
    text.replace(u'\\', QLatin1String("\\\\")).replace(u'"', QLatin1String("\\\""));
    return u'"' + text + u'"';
}

// Long hexadecimal data is folded as the registry editor folds it.
QString hexValue(const QString &head, const QByteArray &data)
{
    static constexpr char digits[] = "0123456789abcdef";
    QString out;
    QString line = head;
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (i > 0 && line.size() + 3 > 77) {
            out += line + QStringLiteral("\\\n");
            line = QStringLiteral("  ");
        }
        const auto b = uchar(data.at(i));
        line += QLatin1Char(digits[b >> 4]);
        line += QLatin1Char(digits[b & 0xF]);
        if (i + 1 < data.size())
            line += u',';
    }
    return out + line + u'\n';
}

QString valueLine(const RegValueDef &v)
{
    const QString head = quoted(v.name) + u'=';
    switch (v.kind) {
    case RegValueDef::Kind::String:
        return head + quoted(v.text) + u'\n';
    case RegValueDef::Kind::DWord:
        return head + QStringLiteral("dword:%1\n").arg(v.number, 8, 16, QLatin1Char('0'));
    case RegValueDef::Kind::Binary:
        return hexValue(head + QStringLiteral("hex:"), v.bytes);
    case RegValueDef::Kind::ExpandString:
        return hexValue(head + QStringLiteral("hex(2):"), utf16z({v.text}, false));
    case RegValueDef::Kind::MultiString:
        return hexValue(head + QStringLiteral("hex(7):"), utf16z(v.strings, true));
    }
    return {};
}

const char *typeName(RegValueDef::Kind k)
{
    switch (k) {
    case RegValueDef::Kind::String:
        return "REG_SZ";
    case RegValueDef::Kind::DWord:
        return "REG_DWORD";
    case RegValueDef::Kind::Binary:
        return "REG_BINARY";
    case RegValueDef::Kind::ExpandString:
        return "REG_EXPAND_SZ";
    case RegValueDef::Kind::MultiString:
        return "REG_MULTI_SZ";
    }
    return "";
}

struct Section
{
    QString path; // as written between the brackets
    QString text; // header line and value lines, each ending in "\n"
};

bool under(const QString &path, const QString &key)
{
    return path.compare(key, Qt::CaseInsensitive) == 0 || path.startsWith(key + u'\\', Qt::CaseInsensitive);
}

QString decode(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        auto decoder = QStringDecoder(QStringDecoder::Utf16, QStringDecoder::Flag::Stateless);
        return decoder(bytes);
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    return QString::fromUtf8(bytes);
}

// Whether a quoted text is still open at the end of a line that began
// inside one (or not): a text value may hold line breaks.
bool quoteOpenAfter(const QString &line, bool open)
{
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (open && line.at(i) == u'\\')
            ++i;
        else if (line.at(i) == u'"')
            open = !open;
    }
    return open;
}

// Splits an export into its sections; false when it is not one.
bool parseSections(const QByteArray &bytes, QString *header, QList<Section> *sections, QString *error)
{
    QString text = decode(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QStringList lines = text.split(u'\n');
    bool headerSeen = false;
    bool continued = false;
    bool inQuote = false;
    int number = 0;
    for (QString line : lines) {
        ++number;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (inQuote) {
            sections->last().text += line + u'\n';
            inQuote = quoteOpenAfter(line, true);
            continue;
        }
        if (continued) {
            sections->last().text += line + u'\n';
            continued = line.endsWith(u'\\');
            continue;
        }
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u';'))
            continue;
        if (!headerSeen) {
            if (trimmed != u"Windows Registry Editor Version 5.00" && trimmed != u"REGEDIT4") {
                *error = QStringLiteral(
                             "line %1: not a registry export (expected \"Windows Registry Editor Version 5.00\")")
                             .arg(number);
                return false;
            }
            *header = trimmed;
            headerSeen = true;
            continue;
        }
        if (trimmed.startsWith(u'[')) {
            if (!trimmed.endsWith(u']')) {
                *error = QStringLiteral("line %1: a key name without its closing bracket").arg(number);
                return false;
            }
            QString path = trimmed.mid(1, trimmed.size() - 2);
            sections->append({path.startsWith(u'-') ? path.mid(1) : path, trimmed + u'\n'});
            continue;
        }
        if ((trimmed.startsWith(u'"') || trimmed.startsWith(u'@')) && trimmed.contains(u'=') && !sections->isEmpty()) {
            sections->last().text += line + u'\n';
            inQuote = quoteOpenAfter(line, false);
            continued = !inQuote && trimmed.endsWith(u'\\');
            continue;
        }
        *error = QStringLiteral("line %1: cannot be read as a key or a value").arg(number);
        return false;
    }
    if (!headerSeen && !text.trimmed().isEmpty()) {
        *error = QStringLiteral("not a registry export");
        return false;
    }
    if (!headerSeen)
        *header = QStringLiteral("Windows Registry Editor Version 5.00");
    return true;
}

QString sectionHeader(const QString &keyBelowMachine)
{
    return u'[' + kMachine + u'\\' + keyBelowMachine + QStringLiteral("]\n");
}

} // namespace

const QList<RegKeyDef> &settingsTree()
{
    static const QList<RegKeyDef> tree = [] {
        QList<RegKeyDef> t;
        t.append({QStringLiteral("Orvex"),
                  {str(QStringLiteral("ProductName"), QStringLiteral("Orvex Unified Messaging"),
                       QStringLiteral("Name of the product as setup registered it."),
                       QStringLiteral("Orvex Unified Messaging")),
                   str(QStringLiteral("ProductVersion"), QStringLiteral("5.0.2.114"),
                       QStringLiteral("Version of the installed product.")),
                   dword(QStringLiteral("BuildNumber"), 114, QStringLiteral("Build number of the installed product.")),
                   str(QStringLiteral("Edition"), QStringLiteral("Enterprise"),
                       QStringLiteral("Edition the license unlocks."), QStringLiteral("Standard")),
                   str(QStringLiteral("InstallDate"), QStringLiteral("2004-02-09"),
                       QStringLiteral("Date the product was first installed."))}});
        t.append({QStringLiteral("Orvex\\Setup"),
                  {dword(QStringLiteral("SetupLanguage"), 1033, QStringLiteral("Language setup ran in.")),
                   multi(QStringLiteral("InstalledComponents"),
                         {QStringLiteral("Conversation Manager"), QStringLiteral("Message Transfer Agent"),
                          QStringLiteral("Notifier"), QStringLiteral("Directory Sync"),
                          QStringLiteral("Administration Console")},
                         QStringLiteral("Components setup installed, one per line.")),
                   expand(QStringLiteral("SetupLog"), QStringLiteral("%SystemRoot%\\Temp\\OrvexSetup.log"), QString()),
                   binary(QStringLiteral("SetupState"), QByteArray::fromHex("0100000005000000"),
                          QStringLiteral("Progress of the last setup run; 01 00 00 00 means it finished."))}});
        t.append({QStringLiteral("Orvex\\Services"), {}});
        t.append({QStringLiteral("Orvex\\Services\\Conversation Manager"),
                  {dword(QStringLiteral("Enabled"), 1, QStringLiteral("1 when the service starts with the server.")),
                   dword(QStringLiteral("MaxSessions"), 48, QStringLiteral("Most calls handled at the same time."),
                         QStringLiteral("24")),
                   dword(QStringLiteral("StartupTimeoutSec"), 120,
                         QStringLiteral("Seconds the service waits for the ports at start.")),
                   expand(QStringLiteral("TracePath"), QStringLiteral("%ORVEX_ROOT%\\Logs\\ConvMgr"),
                          QStringLiteral("Folder of the service's trace files.")),
                   str(QStringLiteral("ServiceAccount"), QStringLiteral("HARBOURPOINT\\orvexsvc"),
                       QStringLiteral("Account the service runs as.")),
                   multi(QStringLiteral("DependsOn"),
                         {QStringLiteral("OrvexDirectorySync"), QStringLiteral("MSSQL$ZANDELORVEX")},
                         QStringLiteral("Services that must run first."))}});
        t.append({QStringLiteral("Orvex\\Services\\Message Transfer Agent"),
                  {dword(QStringLiteral("Enabled"), 1, QStringLiteral("1 when the service starts with the server.")),
                   dword(QStringLiteral("PollIntervalMs"), 2000,
                         QStringLiteral("Milliseconds between two looks at the outgoing queue.")),
                   expand(QStringLiteral("QueueFolder"), QStringLiteral("%ORVEX_ROOT%\\Queue"),
                          QStringLiteral("Folder of messages waiting to be delivered.")),
                   dword(QStringLiteral("MaxConcurrentDeliveries"), 8,
                         QStringLiteral("Deliveries running at the same time.")),
                   dword(QStringLiteral("SmtpPort"), 25, QStringLiteral("Port outgoing SMTP connects to."))}});
        t.append({QStringLiteral("Orvex\\Services\\Notifier"),
                  {dword(QStringLiteral("Enabled"), 1, QStringLiteral("1 when the service starts with the server.")),
                   dword(QStringLiteral("MaxOutdialPorts"), 4,
                         QStringLiteral("Ports notification may use at the same time.")),
                   dword(QStringLiteral("RetryDelaySec"), 900,
                         QStringLiteral("Seconds before a failed notification is tried again."))}});
        t.append(
            {QStringLiteral("Orvex\\Services\\Directory Sync"),
             {dword(QStringLiteral("Enabled"), 1, QStringLiteral("1 when the service starts with the server.")),
              dword(QStringLiteral("IntervalMinutes"), 15, QStringLiteral("Minutes between two synchronisations.")),
              binary(QStringLiteral("LastUsn"), QByteArray::fromHex("00a1f20300000000"),
                     QStringLiteral("Update sequence number the last synchronisation reached.")),
              str(QStringLiteral("SyncFilter"), syncFilter(),
                  QStringLiteral("Filter that selects the accounts to synchronise.")),
              dword(QStringLiteral("SyncBatchSize"), 200, QStringLiteral("Accounts read in one request.")),
              str(QStringLiteral("LastSyncResult"), QStringLiteral("Completed: 0 errors"),
                  QStringLiteral("Outcome of the last synchronisation."))}});
        t.append({QStringLiteral("Orvex\\Telephony"), {}});
        t.append({QStringLiteral("Orvex\\Telephony\\Integration"),
                  {str(QStringLiteral("SwitchType"), QStringLiteral("CT-800 IP"),
                       QStringLiteral("Model of the phone system.")),
                   dword(QStringLiteral("PortCount"), 24, QStringLiteral("Voice ports licensed and configured.")),
                   str(QStringLiteral("SerialPort"), QStringLiteral("COM1"),
                       QStringLiteral("Serial port of the integration link."), QStringLiteral("COM1")),
                   binary(QStringLiteral("IntegrationFlags"), QByteArray::fromHex("01ab0010"),
                          QStringLiteral("Integration options as bits; byte 1 bit 0 turns on call forwarding "
                                         "detection."))}});
        t.append({QStringLiteral("Orvex\\Telephony\\Codecs"), {}});
        t.append(
            {QStringLiteral("Orvex\\Telephony\\Codecs\\G711"),
             {dword(QStringLiteral("Priority"), 1, QStringLiteral("Order in which codecs are offered, lowest first.")),
              dword(QStringLiteral("FrameMs"), 20, QStringLiteral("Milliseconds of sound per packet.")),
              dword(QStringLiteral("Enabled"), 1, QStringLiteral("1 when the codec is offered."))}});
        t.append(
            {QStringLiteral("Orvex\\Telephony\\Codecs\\G729"),
             {dword(QStringLiteral("Priority"), 2, QStringLiteral("Order in which codecs are offered, lowest first.")),
              dword(QStringLiteral("FrameMs"), 30, QStringLiteral("Milliseconds of sound per packet.")),
              dword(QStringLiteral("Enabled"), 0, QStringLiteral("1 when the codec is offered.")),
              binary(QStringLiteral("LicenseKey"), QByteArray::fromHex("3fa2c910e44b07d1"),
                     QStringLiteral("License key of the codec."))}});
        // Changes the console has queued for the next service restart: none.
        t.append({QStringLiteral("Orvex\\Telephony\\Pending Changes"), {}});
        t.append({QStringLiteral("Orvex\\Localization"),
                  {dword(QStringLiteral("DefaultLanguage"), 1033, QStringLiteral("Language of the system prompts."))}});
        t.append({QStringLiteral("Orvex\\Localization\\ENU"),
                  {dword(QStringLiteral("LanguageId"), 1033, QStringLiteral("Windows locale id of the language.")),
                   expand(QStringLiteral("PromptFolder"), QStringLiteral("%ORVEX_ROOT%\\Prompts\\ENU"),
                          QStringLiteral("Folder of the language's prompts.")),
                   str(QStringLiteral("TtsVoice"), QStringLiteral("Clara"),
                       QStringLiteral("Text-to-speech voice for the language."))}});
        t.append({QStringLiteral("Orvex\\Localization\\FRC"),
                  {dword(QStringLiteral("LanguageId"), 3084, QStringLiteral("Windows locale id of the language.")),
                   expand(QStringLiteral("PromptFolder"), QStringLiteral("%ORVEX_ROOT%\\Prompts\\FRC"),
                          QStringLiteral("Folder of the language's prompts.")),
                   str(QStringLiteral("TtsVoice"), QStringLiteral("Julien"),
                       QStringLiteral("Text-to-speech voice for the language."))}});
        t.append({QStringLiteral("Orvex\\Paths"),
                  {expand(QStringLiteral("LogFolder"), QStringLiteral("%ORVEX_ROOT%\\Logs"),
                          QStringLiteral("Folder of all log files.")),
                   expand(QStringLiteral("StreamFolder"), QStringLiteral("%ORVEX_ROOT%\\Stream Files"),
                          QStringLiteral("Folder of recorded greetings and names.")),
                   multi(QStringLiteral("SearchPaths"),
                         {QStringLiteral("C:\\Orvex\\Bin"), QStringLiteral("C:\\Orvex\\Lib"),
                          QStringLiteral("C:\\Orvex\\Tools")},
                         QStringLiteral("Folders searched for components.")),
                   str(QStringLiteral("BackupFolder"), QStringLiteral("D:\\Backup\\Orvex"),
                       QStringLiteral("Folder the nightly backup writes to."))}});
        t.append({QStringLiteral("Shared Components"), {}});
        t.append(
            {QStringLiteral("Shared Components\\Speech Engine"),
             {str(QStringLiteral("Engine"), QStringLiteral("Brisvane Speech 3"),
                  QStringLiteral("Speech engine the product uses.")),
              str(QStringLiteral("Version"), QStringLiteral("3.1.7"), QStringLiteral("Version of the speech engine.")),
              multi(QStringLiteral("Voices"),
                    {QStringLiteral("Clara"), QStringLiteral("Julien"), QStringLiteral("Martin")},
                    QStringLiteral("Voices installed."))}});
        t.append(
            {QStringLiteral("Shared Components\\Tracing"),
             {dword(QStringLiteral("DefaultLevel"), 2, QStringLiteral("Trace level of components without their own."),
                    QStringLiteral("1")),
              dword(QStringLiteral("MaxFileSizeKB"), 10240, QStringLiteral("Size at which a trace file is closed.")),
              multi(QStringLiteral("Components"),
                    {QStringLiteral("ConvMgr"), QStringLiteral("MTA"), QStringLiteral("Notifier")},
                    QStringLiteral("Components that write traces.")),
              binary(QStringLiteral("Flags"), QByteArray::fromHex("0000000f"), QString())}});
        return t;
    }();
    return tree;
}

QByteArray registrySettingsXml()
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(2);
    w.writeStartDocument();
    w.writeComment(
        QStringLiteral(" Descriptions of the Orvex settings kept under HKEY_LOCAL_MACHINE\\SOFTWARE\\Brisvane. "));
    w.writeStartElement(QStringLiteral("RegKeys"));
    w.writeStartElement(QStringLiteral("RegKey"));
    w.writeAttribute(QStringLiteral("Name"), QStringLiteral("SOFTWARE"));
    w.writeStartElement(QStringLiteral("RegKey"));
    w.writeAttribute(QStringLiteral("Name"), QStringLiteral("Brisvane"));
    QStringList open;
    for (const RegKeyDef &key : settingsTree()) {
        const QStringList parts = key.path.split(u'\\');
        int common = 0;
        while (common < open.size() && common < parts.size() && open[common] == parts[common])
            ++common;
        while (open.size() > common) {
            w.writeEndElement();
            open.removeLast();
        }
        for (int i = common; i < parts.size(); ++i) {
            w.writeStartElement(QStringLiteral("RegKey"));
            w.writeAttribute(QStringLiteral("Name"), parts[i]);
            open << parts[i];
        }
        for (const RegValueDef &v : key.values) {
            if (v.description.isEmpty())
                continue;
            w.writeStartElement(QStringLiteral("RegVal"));
            w.writeAttribute(QStringLiteral("Name"), v.name);
            w.writeAttribute(QStringLiteral("Type"), QString::fromLatin1(typeName(v.kind)));
            w.writeAttribute(QStringLiteral("Default"), v.defaultText);
            w.writeCharacters(v.description);
            w.writeEndElement();
        }
    }
    while (!open.isEmpty()) {
        w.writeEndElement();
        open.removeLast();
    }
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

QString productRegistrySections(const QString &installFolder)
{
    QString out = sectionHeader(kProductKey);
    out += valueLine(str(QStringLiteral("InstalledFolderPath"), installFolder, QString()));
    out += valueLine(str(QStringLiteral("Version"), QStringLiteral("5.0.2.114"), QString()));
    out += valueLine(
        str(QStringLiteral("ProductCode"), QStringLiteral("{6F1D52B0-3C41-4E7A-9B28-0D5E7C1A4F93}"), QString()));
    out += valueLine(dword(QStringLiteral("InstallLanguage"), 1033, QString()));
    out += u'\n';
    out += sectionHeader(kSettingsKey) + u'\n';
    for (const RegKeyDef &key : settingsTree()) {
        out += sectionHeader(kSettingsKey + u'\\' + key.path);
        for (const RegValueDef &v : key.values)
            out += valueLine(v);
        out += u'\n';
    }
    return out;
}

bool mergeRegistryExport(const QByteArray &existing, const QString &installFolder, QByteArray *out, QString *error)
{
    QString header;
    QList<Section> sections;
    if (!parseSections(existing, &header, &sections, error))
        return false;
    const QString machine = kMachine + u'\\';
    QString text = header + QStringLiteral("\n\n");
    bool productParentPresent = false;
    const QString productParent = machine + QStringLiteral("SOFTWARE\\Zandel Systems");
    for (const Section &s : std::as_const(sections)) {
        const bool product = under(s.path, machine + kProductKey);
        const bool settings = under(s.path, machine + kSettingsKey) && !under(s.path, machine + kToolKey);
        if (product || settings)
            continue;
        if (s.path.compare(productParent, Qt::CaseInsensitive) == 0)
            productParentPresent = true;
        text += s.text;
        if (!s.text.endsWith(QStringLiteral("\n\n")))
            text += u'\n';
    }
    if (!productParentPresent)
        text += u'[' + productParent + QStringLiteral("]\n\n");
    text += productRegistrySections(installFolder);
    *out = text.toUtf8();
    return true;
}

bool checkRegistryFile(const QString &file, QString *error)
{
    QFile f(file);
    if (!f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the registry file %1: %2").arg(file, f.errorString());
        return false;
    }
    QString header;
    QList<Section> sections;
    QString why;
    if (!parseSections(f.readAll(), &header, &sections, &why)) {
        *error =
            QStringLiteral("the registry file %1 is not a registry export (%2); it was left as it is").arg(file, why);
        return false;
    }
    return true;
}

bool installRegistry(const QString &file, const QString &installFolder, QString *error)
{
    const QFileInfo info(file);
    if (!QDir().mkpath(info.absolutePath())) {
        *error = QStringLiteral("cannot create the folder of %1").arg(file);
        return false;
    }
    QLockFile lock(file + QStringLiteral(".lock"));
    if (!lock.tryLock(10000)) {
        *error = QStringLiteral("the registry file %1 is locked by another program").arg(file);
        return false;
    }
    QByteArray existing;
    if (QFile f(file); f.exists()) {
        if (!f.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read the registry file %1: %2").arg(file, f.errorString());
            return false;
        }
        existing = f.readAll();
    }
    QByteArray merged;
    QString why;
    if (!mergeRegistryExport(existing, installFolder, &merged, &why)) {
        *error =
            QStringLiteral("the registry file %1 is not a registry export (%2); it was left as it is").arg(file, why);
        return false;
    }
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(merged) != merged.size() || !out.commit()) {
        *error = QStringLiteral("cannot write the registry file %1: %2").arg(file, out.errorString());
        return false;
    }
    return true;
}

} // namespace korva::demo
