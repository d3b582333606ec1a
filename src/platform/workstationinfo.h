#pragma once

#include <QtCore/QString>

namespace korva {

// The local machine's name and domain and the logged-on user, read once
// from the operating system and kept for the program run.
class WorkStationInfo
{
public:
    WorkStationInfo(); // refreshes at once
    static const WorkStationInfo &instance();

    void Refresh();

    QString ComputerName() const { return m_computerName; }
    QString Domain() const { return m_domain; }
    QString UserName() const { return m_userName; }
    QString LogonDomain() const { return m_logonDomain; }
    QString OtherDomains() const { return m_otherDomains; }

private:
    QString m_computerName;
    QString m_domain;
    QString m_userName;
    QString m_logonDomain;
    QString m_otherDomains;
};

} // namespace korva
