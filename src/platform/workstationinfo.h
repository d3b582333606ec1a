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

    qint32 PlatformId() const { return m_platformId; }
    QString ComputerName() const { return m_computerName; }
    QString Domain() const { return m_domain; }
    qint32 VerMajor() const { return m_verMajor; }
    qint32 VerMinor() const { return m_verMinor; }
    QString LanRoot() const { return m_lanRoot; }
    qint32 LoggedOnUsers() const { return m_loggedOnUsers; }
    QString UserName() const { return m_userName; }
    QString LogonDomain() const { return m_logonDomain; }
    QString OtherDomains() const { return m_otherDomains; }
    QString LogonServer() const { return m_logonServer; }

private:
    qint32 m_platformId = 0;
    QString m_computerName;
    QString m_domain;
    qint32 m_verMajor = 0;
    qint32 m_verMinor = 0;
    QString m_lanRoot;
    qint32 m_loggedOnUsers = 0;
    QString m_userName;
    QString m_logonDomain;
    QString m_otherDomains;
    QString m_logonServer;
};

} // namespace korva
