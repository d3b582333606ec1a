#include "navigation/tableviewmap.h"

#include <QtCore/QHash>

namespace korva::navigation {

namespace {

// Tables whose view is the table name with "tbl_" replaced by "vw_".
constexpr const char16_t *kPlainlyMapped[] = {
    u"tbl_Agency",
    u"tbl_AgencyExtensionRange",
    u"tbl_BroadcastMessage",
    u"tbl_BroadcastMessageRecipient",
    u"tbl_CallAction",
    u"tbl_Configuration",
    u"tbl_Conversation",
    u"tbl_Cos",
    u"tbl_Credential",
    u"tbl_CredentialPolicy",
    u"tbl_VantrelTone",
    u"tbl_VantrelTSPDevice",
    u"tbl_DirectoryHandler",
    u"tbl_DistributionList",
    u"tbl_DistributionListMember",
    u"tbl_DtmfAccessId",
    u"tbl_Greeting",
    u"tbl_GreetingStreamFile",
    u"tbl_Handler",
    u"tbl_InterviewHandler",
    u"tbl_IPPortReservation",
    u"tbl_MailboxStoreMap",
    u"tbl_MediaAnalogProtocol",
    u"tbl_MediaPort",
    u"tbl_MediaPortConfigState",
    u"tbl_MediaPortGroup",
    u"tbl_MediaPortGroupIPPort",
    u"tbl_MediaPortGroupTemplate",
    u"tbl_MediaRemoteService",
    u"tbl_MediaSerialMWI",
    u"tbl_MediaSerialProtocol",
    u"tbl_MediaSwitch",
    u"tbl_MediaSwitchManufacturer",
    u"tbl_MediaSwitchModel",
    u"tbl_MediaSwitchTrunk",
    u"tbl_MenuEntry",
    u"tbl_NotificationDevice",
    u"tbl_NotificationDeviceConversation",
    u"tbl_NotificationDeviceMP3",
    u"tbl_NotificationDevicePager",
    u"tbl_NotificationDeviceSMS",
    u"tbl_NotificationDeviceSMTP",
    u"tbl_NotificationMwi",
    u"tbl_NotificationRule",
    u"tbl_NotificationRuleCriteria",
    u"tbl_NotificationRuleEvent",
    u"tbl_PersonalContact",
    u"tbl_PersonalContactPhone",
    u"tbl_PersonalDestination",
    u"tbl_PersonalDestinationGroup",
    u"tbl_PersonalDestinationGroupItem",
    u"tbl_PersonalGroup",
    u"tbl_PersonalGroupMember",
    u"tbl_PersonalGroupMemberSet",
    u"tbl_PersonalRule",
    u"tbl_PersonalRuleCaller",
    u"tbl_PersonalRuleSet",
    u"tbl_PhoneNumber",
    u"tbl_Policy",
    u"tbl_Privilege",
    u"tbl_RestrictionPattern",
    u"tbl_RestrictionTable",
    u"tbl_Role",
    u"tbl_RolePrivilegeMap",
    u"tbl_RoutingRule",
    u"tbl_RoutingRuleParameter",
    u"tbl_Schedule",
    u"tbl_ScheduleDetail",
    u"tbl_ScheduleSet",
    u"tbl_ScheduleSetMemberMap",
    u"tbl_SerialLink",
    u"tbl_SerialLinkPort",
    u"tbl_SMPPProvider",
    u"tbl_StreamFile",
    u"tbl_TimeZone",
    u"tbl_TransferOption",
    u"tbl_TreeControlNode",
    u"tbl_User",
    u"tbl_UserTemplate",
    u"tbl_VMSRole",
    u"tbl_VMSRoleTemplate",
    u"tbl_VMSServer",
    u"tbl_VMSServerRole",
    u"tbl_VMSTemplate",
    u"tbl_WaveFormat",
};

struct Respelled
{
    const char16_t *table;
    const char16_t *view;
};

constexpr Respelled kRespelled[] = {
    {u"tbl_CallHandler", u"vw_Callhandler"},
    {u"tbl_InterviewQuestion", u"vw_InterviewHandlerQuestion"},
    {u"tbl_MailboxMap", u"vw_Mailbox"},
    {u"tbl_UserSubscriber", u"vw_Subscriber"},
};

// Listed so the map stays the complete list of base tables; they have no view.
constexpr const char16_t *kWithoutView[] = {
    u"tbl_AccountLogonPolicy",
    u"tbl_Alias",
    u"tbl_BridgeLocationPrefix",
    u"tbl_DistributionListSet",
    u"tbl_DistributionListSetMember",
    u"tbl_LocalizedText",
    u"tbl_Location",
    u"tbl_LocationAMIS",
    u"tbl_LocationBridge",
    u"tbl_LocationVMS",
    u"tbl_LocationVPIM",
    u"tbl_UserCredentialHistory",
};

const QHash<QString, QString> &tableMap()
{
    static const QHash<QString, QString> map = [] {
        QHash<QString, QString> m;
        for (const char16_t *t : kPlainlyMapped) {
            const QString table = QString::fromUtf16(t);
            m.insert(table, QStringLiteral("vw_") + table.mid(4));
        }
        for (const Respelled &r : kRespelled)
            m.insert(QString::fromUtf16(r.table), QString::fromUtf16(r.view));
        for (const char16_t *t : kWithoutView)
            m.insert(QString::fromUtf16(t), QString());
        return m;
    }();
    return map;
}

} // namespace

std::optional<QString> viewForTable(const QString &table)
{
    const auto it = tableMap().constFind(table);
    if (it == tableMap().cend() || it->isEmpty())
        return std::nullopt;
    return *it;
}

std::optional<QString> tableForView(const QString &view)
{
    for (auto it = tableMap().cbegin(); it != tableMap().cend(); ++it)
        if (!it->isEmpty() && it->compare(view, Qt::CaseInsensitive) == 0)
            return it.key();
    return std::nullopt;
}

MappedName strMapTableToView(const QString &name, bool useTablesChecked)
{
    if (name.startsWith(u"vw_", Qt::CaseInsensitive))
        return {name, useTablesChecked ? ListingSwitch::ToViews : ListingSwitch::None};
    if (useTablesChecked)
        return {name, ListingSwitch::None};
    if (const auto view = viewForTable(name))
        return {*view, ListingSwitch::None};
    return {name, ListingSwitch::ToTables};
}

} // namespace korva::navigation
