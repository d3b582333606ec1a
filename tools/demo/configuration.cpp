#include "configuration.h"

#include "populate.h"

#include <QtCore/QHash>
#include <QtCore/QXmlStreamWriter>

namespace korva::demo {

namespace {

enum class Kind { Long, Bool, String, Float, Date, Guid, None };

struct Setting
{
    const char *path; // below System
    Kind kind;
    const char *value; // text of the value; for Guid, the table whose first row it names
    int typeCode;      // the node's Type
    const char *defaultValue;
    const char *min;
    const char *max;
    const char *description; // nullptr: not described in the file
};

// The settings in the order the product creates them.
const Setting kSettings[] = {
    {"Conversations.SubscriberSignIn.MaxPinAttempts", Kind::Long, "3", 3, "3", "1", "10",
     "Wrong PINs a caller may key before the call is ended."},
    {"Conversations.SubscriberSignIn.PinTimeoutSeconds", Kind::Long, "5", 3, "5", "2", "30",
     "Seconds the sign-in conversation waits for the first digit of the PIN."},
    {"Conversations.SubscriberSignIn.AllowSelfEnrollment", Kind::Bool, "1", 11, "1", "", "",
     "When set, new subscribers are led through recording their name and greeting at the first sign-in."},
    {"Conversations.SubscriberSignIn.EnrollmentConversation", Kind::String, "FirstTimeEnrollment", 8,
     "FirstTimeEnrollment", "", "", "Conversation that runs the first-time enrollment."},
    {"Conversations.HandlerGreeting.InterDigitTimeoutMs", Kind::Long, "1500", 3, "1500", "500", "5000",
     "Milliseconds to wait for the next key before the digits keyed so far are acted on."},
    {"Conversations.HandlerGreeting.RepeatOnSilence", Kind::Bool, "1", 11, "1", "", "",
     "When set, a greeting that gets no answer is played again before its after-greeting action runs."},
    {"Conversations.HandlerGreeting.MaxGreetingSeconds", Kind::Long, "90", 3, "90", "10", "600",
     "Longest greeting an administrator or subscriber may record."},
    {"Conversations.DirectoryLookup.MinimumLetters", Kind::Long, "3", 3, "3", "1", "10",
     "Letters a caller must key before the directory reads out matches."},
    {"Conversations.DirectoryLookup.SearchAlternateNames", Kind::Bool, "0", 11, "0", "", "",
     "When set, alternate aliases are searched as well as the display names."},
    {"Messaging.MaxMessageLengthSeconds", Kind::Long, "300", 3, "300", "30", "3600",
     "Longest message any caller can leave, whatever the class of service allows."},
    {"Messaging.DefaultWaveFormat", Kind::Guid, "tbl_WaveFormat", 88, "", "", "",
     "Wave format new recordings are stored in (ObjectID of a row of tbl_WaveFormat)."},
    {"Messaging.SilenceTrimming", Kind::Bool, "1", 11, "1", "", "",
     "When set, silence at the start and end of recordings is cut off."},
    {"Messaging.Delivery.RetryIntervalMinutes", Kind::Long, "10", 3, "10", "1", "1440",
     "Minutes between two attempts to deliver a message to a remote location."},
    {"Messaging.Delivery.MaxRetries", Kind::Long, "5", 3, "5", "0", "50",
     "Attempts after which a message is returned as undeliverable."},
    {"Messaging.Delivery.NonDeliveryReports", Kind::Bool, "1", 11, "1", "", "",
     "When set, senders are told about messages that could not be delivered."},
    {"Messaging.Delivery.SmtpSmartHost", Kind::String, "mail.harbourpoint.example", 8, "", "", "",
     "Mail server all outgoing SMTP goes through; empty to deliver directly."},
    {"Messaging.Quotas.WarningPercent", Kind::Float, "85.5", 5, "85", "50", "99",
     "Share of the quota at which subscribers hear the mailbox-full warning."},
    {"Messaging.Quotas.EnforcementStart", Kind::Date, "2005-01-01 00:00:00.000", 7, "", "", "",
     "Date from which quotas are enforced; before it subscribers are only warned."},
    {"Telephony.Ports.ResetIntervalHours", Kind::Long, "24", 3, "24", "0", "168",
     "Hours after which idle ports are reset; 0 never resets them."},
    {"Telephony.Ports.DialToneTimeoutMs", Kind::Long, "3000", 3, "3000", "500", "10000",
     "Milliseconds a port waits for dial tone before it gives up dialling."},
    {"Telephony.Integration.SwitchName", Kind::String, "Head Office PBX", 8, "", "", "",
     "Phone system whose integration the ports use by default."},
    {"Telephony.Integration.SerialTimeoutMs", Kind::Long, "500", 3, "", "", "", nullptr},
    {"Telephony.Mwi.RefreshIntervalHours", Kind::Long, "12", 3, "12", "0", "168",
     "Hours between two passes that set every message waiting light again."},
    {"Telephony.Mwi.UseSerialLink", Kind::Bool, "0", 11, "0", "", "",
     "When set, lights are switched by codes on the serial link instead of by dialling."},
    {"Directory.TombstoneDays", Kind::Long, "60", 3, "60", "7", "365",
     "Days a deleted object is remembered so that replication can remove it elsewhere."},
    {"Directory.DefaultCos", Kind::Guid, "tbl_Cos", 88, "", "", "",
     "Class of service given to subscribers created without a template."},
    {"Directory.LocalLocationID", Kind::Guid, "tbl_Location", 88, "", "", "",
     "ObjectID of this server's own location."},
    {"Directory.Replication.Enabled", Kind::Bool, "1", 11, "1", "", "",
     "When set, directory changes are replicated to the other Orvex locations."},
    {"Directory.Replication.IntervalMinutes", Kind::Long, "15", 3, "15", "1", "1440",
     "Minutes between two replication passes."},
    {"Directory.Replication.LastFullSync", Kind::Date, "2006-05-14 02:00:00.000", 7, "", "", "",
     "When the last full replication finished."},
    {"Diagnostics.TraceLevel", Kind::Long, "2", 3, "1", "0", "5",
     "Amount of tracing: 0 none, 1 errors, 2 warnings, 3 information, 4 and 5 detail."},
    {"Diagnostics.LogFolder", Kind::String, "C:\\Orvex\\Logs", 8, "C:\\Orvex\\Logs", "", "",
     "Folder the services write their log files to."},
    {"Diagnostics.MaxLogSizeMB", Kind::Long, "50", 3, "50", "1", "1000",
     "Size in MB at which a log file is closed and a new one started."},
    // Written as text by an old console but typed as a number.
    {"Diagnostics.VerboseConversations", Kind::String, "3", 3, "0", "0", "5",
     "Tracing level of the conversations alone."},
    // Settings created without a value.
    {"Diagnostics.CrashDumpFolder", Kind::None, "", 5, "", "", "", nullptr},
    {"Diagnostics.LastCrashID", Kind::None, "", 88, "", "", "", nullptr},
    {"Reports.Collection.IntervalMinutes", Kind::Long, "30", 3, "30", "5", "1440",
     "Minutes between two runs of the report data collector."},
    {"Reports.Collection.KeepDays", Kind::Long, "90", 3, "90", "1", "3650", "Days report data is kept."},
    {"Reports.Output.Folder", Kind::String, "C:\\Orvex\\Reports", 8, "C:\\Orvex\\Reports", "", "",
     "Folder scheduled reports are written to."},
    {"Licensing.LicensedPorts", Kind::Long, "24", 3, "", "", "", "Voice ports the license allows."},
    {"Licensing.LicensedSubscribers", Kind::Long, "5000", 3, "", "", "", "Subscribers the license allows."},
    {"Licensing.Expires", Kind::Date, "2007-12-31 00:00:00.000", 7, "", "", "", "Date the license runs out."},
    {"Network.Vpim.Outbound.MaxMessageKB", Kind::Long, "2048", 3, "2048", "64", "10240",
     "Largest message sent to a VPIM location; longer ones are returned."},
    {"Network.Vpim.Outbound.AudioFormat", Kind::String, "G726", 8, "G726", "", "",
     "Audio format VPIM messages are sent in."},
    {"Network.Vpim.Inbound.AcceptUnknownSenders", Kind::Bool, "0", 11, "0", "", "",
     "When set, VPIM messages from senders not in the directory are accepted."},
    {"Network.Amis.DeliveryHours", Kind::String, "18:00-06:00", 8, "18:00-06:00", "", "",
     "Hours during which AMIS messages are delivered, to save call charges."},
};

const char *kindName(Kind k)
{
    switch (k) {
    case Kind::Long:
        return "Long";
    case Kind::Bool:
        return "Bool";
    case Kind::String:
        return "String";
    case Kind::Float:
        return "Float";
    case Kind::Date:
        return "Date";
    case Kind::Guid:
        return "GUID";
    case Kind::None:
        break;
    }
    return "";
}

} // namespace

void populateConfiguration(Populator &p, const DemoOptions &)
{
    QHash<QString, QString> folders; // full name -> ObjectID
    auto node = [&p](const QString &fullName, const QString &parent, int type, bool folder) {
        Populator::Row row = p.row(QStringLiteral("tbl_Configuration"));
        row.set(QStringLiteral("ParentID"), parent.isEmpty() ? QVariant() : QVariant(parent))
            .set(QStringLiteral("Type"), type)
            .set(QStringLiteral("HasChildNodes"), folder ? 1 : 0)
            .set(QStringLiteral("FullName"), fullName)
            .set(QStringLiteral("Name"), fullName.mid(fullName.lastIndexOf(u'.') + 1))
            .set(QStringLiteral("RequiresRestart"), 0);
        for (const char *c : {"ValueBool", "ValueDate", "ValueFloat", "ValueGUID", "ValueLong", "ValueString"})
            row.setNull(QString::fromLatin1(c));
        return row;
    };
    const QString root = node(QStringLiteral("System"), QString(), 1, true).insert();
    folders[QStringLiteral("System")] = root;

    for (const Setting &s : kSettings) {
        const QString fullName = QStringLiteral("System.") + QString::fromLatin1(s.path);
        const QStringList parts = fullName.split(u'.');
        QString parentId = root;
        QString path = parts.first();
        for (int i = 1; i < parts.size() - 1; ++i) {
            path += u'.' + parts[i];
            if (!folders.contains(path))
                folders[path] = node(path, parentId, 0, true).insert();
            parentId = folders.value(path);
        }
        Populator::Row row = node(fullName, parentId, s.typeCode, false);
        const QString value = QString::fromLatin1(s.value);
        switch (s.kind) {
        case Kind::Long:
            row.set(QStringLiteral("ValueLong"), value.toLongLong());
            break;
        case Kind::Bool:
            row.set(QStringLiteral("ValueBool"), value.toLongLong());
            break;
        case Kind::String:
            row.set(QStringLiteral("ValueString"), value);
            break;
        case Kind::Float:
            row.set(QStringLiteral("ValueFloat"), value.toDouble());
            break;
        case Kind::Date:
            row.set(QStringLiteral("ValueDate"), value);
            break;
        case Kind::Guid:
            row.set(QStringLiteral("ValueGUID"), p.ids(value).value(0));
            break;
        case Kind::None:
            break;
        }
        if (s.typeCode == 3 && QByteArrayView(s.path).startsWith("Telephony"))
            row.set(QStringLiteral("RequiresRestart"), 1);
        row.insert();
    }
}

QByteArray configurationDataXml()
{
    QByteArray body;
    QXmlStreamWriter w(&body);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(2);
    w.writeStartElement(QStringLiteral("OrvexConfigurationData"));

    // The previous version's descriptions stay in the file; only Orvex5.0 counts.
    w.writeStartElement(QStringLiteral("Product"));
    w.writeAttribute(QStringLiteral("name"), QStringLiteral("Orvex4.0"));
    w.writeStartElement(QStringLiteral("Node"));
    w.writeAttribute(QStringLiteral("name"), QStringLiteral("Messaging"));
    w.writeStartElement(QStringLiteral("Node"));
    w.writeAttribute(QStringLiteral("name"), QStringLiteral("MaxMessageLengthSeconds"));
    w.writeAttribute(QStringLiteral("type"), QStringLiteral("Long"));
    w.writeAttribute(QStringLiteral("default"), QStringLiteral("180"));
    w.writeCharacters(QStringLiteral("Longest message (version 4 limit)."));
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();

    w.writeStartElement(QStringLiteral("Product"));
    w.writeAttribute(QStringLiteral("name"), QStringLiteral("Orvex5.0"));
    QStringList open; // folder path components currently open
    for (const Setting &s : kSettings) {
        if (!s.description)
            continue;
        const QStringList parts = QString::fromLatin1(s.path).split(u'.');
        const QStringList folders = parts.mid(0, parts.size() - 1);
        int common = 0;
        while (common < open.size() && common < folders.size() && open[common] == folders[common])
            ++common;
        while (open.size() > common) {
            w.writeEndElement();
            open.removeLast();
        }
        for (int i = common; i < folders.size(); ++i) {
            w.writeStartElement(QStringLiteral("Node"));
            w.writeAttribute(QStringLiteral("name"), folders[i]);
            open << folders[i];
        }
        w.writeStartElement(QStringLiteral("Node"));
        w.writeAttribute(QStringLiteral("name"), parts.last());
        w.writeAttribute(QStringLiteral("type"),
                         QString::fromLatin1(kindName(s.kind == Kind::None ? Kind::String : s.kind)));
        w.writeAttribute(QStringLiteral("default"), QString::fromLatin1(s.defaultValue));
        if (*s.min)
            w.writeAttribute(QStringLiteral("min"), QString::fromLatin1(s.min));
        if (*s.max)
            w.writeAttribute(QStringLiteral("max"), QString::fromLatin1(s.max));
        w.writeCharacters(QString::fromLatin1(s.description));
        w.writeEndElement();
    }
    while (!open.isEmpty()) {
        w.writeEndElement();
        open.removeLast();
    }
    w.writeEndElement(); // Product
    w.writeEndElement(); // OrvexConfigurationData
    w.writeEndDocument();

    return QByteArrayLiteral("<!DOCTYPE OrvexConfigurationData SYSTEM \"OrvexConfigurationData.dtd\"[]>\n")
           + body.trimmed() + '\n';
}

} // namespace korva::demo
