#pragma once

#include "core/BotTypes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class TConnectionManager;
class TDbConnection;

// The directory of the access-control database: employees, their phone numbers and photos,
// devices and event subtypes, and the one column the program writes, PhoneNumbers.Description.
//
// Every operation opens a connection of its own, so any thread may call any of them. A failure is
// reported once (TobjBase, TstProc, "<kind> <message>") and the result keeps what was read before
// it; the caller sees an empty list, false, −1 or no bytes. Lists hold name=value lines; GUIDs in
// them read "{UPPER-CASE}".
class TDirectory {
public:
    TDirectory(const TConnectionManager& manager, TLogState report);

    // Lines EmpId=PhoneId of phones of employees not removed. Phone (country, city and number
    // together) wins over the other four; all five empty queries nothing.
    QStringList FindPhones(const QString& Phone, const QString& CountryCode, const QString& CityCode,
                           const QString& Number, const QString& Description) const;
    // Lines Description=Phone of the employee's phones, unless the employee is removed.
    QStringList GetEmpPhones(const QString& EmployeeId) const;
    // True when at least one row changed; an empty description is never written.
    bool SetPhoneDescription(const QString& PhoneId, const QString& Description) const;
    // The photo's bytes, empty when there is none.
    QByteArray GetEmpPhoto(const QString& EmployeeId, int PhotoNumber) const;
    // Number of rows found (the first fills `UserData`), −1 when nothing was queried or the query
    // failed before it ran.
    int GetEmployee(const QString& EmployeeId, TUserData& UserData) const;
    // Lines id=name of access-point devices with a name, then of face-recognition devices.
    QStringList KVGetDrivers() const;
    // Lines Id=Name of the published event subtypes.
    QStringList KVGetLogMsgSubtypes() const;

private:
    // Runs `work` with a fresh connection; reports what it throws.
    template <typename TWork>
    void Run(TWork&& work) const;

    const TConnectionManager& FManager;
    const TLogState FReport;
};
