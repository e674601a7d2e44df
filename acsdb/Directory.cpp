#include "acsdb/Directory.h"

#include "acsdb/DbConnection.h"
#include "acsdb/DbError.h"
#include "acsdb/DbValues.h"
#include "acsdb/Statements.h"

#include <exception>
#include <utility>

namespace {

QString Line(const QString& name, const QString& value) { return name + u'=' + value; }

} // namespace

TDirectory::TDirectory(const TConnectionManager& manager, TLogState report)
    : FManager(manager)
    , FReport(std::move(report))
{
}

template <typename TWork>
void TDirectory::Run(TWork&& work) const
{
    try {
        TDbConnection db(FManager);
        work(db);
    } catch (const std::exception& error) {
        if (FReport)
            FReport(TobjBase, TstProc, DbFailureText(error));
    }
}

QStringList TDirectory::FindPhones(const QString& Phone, const QString& CountryCode, const QString& CityCode,
                                   const QString& Number, const QString& Description) const
{
    QStringList result;
    if (Phone.isEmpty() && CountryCode.isEmpty() && CityCode.isEmpty() && Number.isEmpty() &&
        Description.isEmpty())
        return result;
    Run([&](TDbConnection& db) {
        QSqlQuery query =
            db.Exec(Statements::FindPhones(db.Dialect(), Phone, CountryCode, CityCode, Number, Description));
        while (query.next())
            result << Line(GuidText(query.value(1)), GuidText(query.value(0)));
        TDbConnection::CheckFetch(query);
    });
    return result;
}

QStringList TDirectory::GetEmpPhones(const QString& EmployeeId) const
{
    QStringList result;
    if (EmployeeId.isEmpty())
        return result;
    Run([&](TDbConnection& db) {
        QSqlQuery query = db.Exec(Statements::GetEmpPhones(db.Dialect(), EmployeeId));
        while (query.next())
            result << Line(query.value(0).toString(), query.value(1).toString());
        TDbConnection::CheckFetch(query);
    });
    return result;
}

bool TDirectory::SetPhoneDescription(const QString& PhoneId, const QString& Description) const
{
    bool changed = false;
    if (Description.isEmpty())
        return changed;
    Run([&](TDbConnection& db) {
        const QSqlQuery query = db.Exec(Statements::SetPhoneDescription(PhoneId, Description));
        changed = query.numRowsAffected() > 0;
    });
    return changed;
}

QByteArray TDirectory::GetEmpPhoto(const QString& EmployeeId, int PhotoNumber) const
{
    QByteArray photo;
    if (EmployeeId.isEmpty())
        return photo;
    Run([&](TDbConnection& db) {
        QSqlQuery query = db.Exec(Statements::GetEmpPhoto(EmployeeId, PhotoNumber));
        if (query.next())
            photo = query.value(2).toByteArray();
        TDbConnection::CheckFetch(query);
    });
    return photo;
}

int TDirectory::GetEmployee(const QString& EmployeeId, TUserData& UserData) const
{
    int rows = -1;
    if (EmployeeId.isEmpty())
        return rows;
    Run([&](TDbConnection& db) {
        QSqlQuery query = db.Exec(Statements::GetEmployee(EmployeeId));
        rows = 0;
        while (query.next()) {
            if (++rows > 1)
                continue;
            UserData.Sid = GuidText(query.value(0));
            UserData.FIRSTNAME = query.value(1).toString();
            UserData.MIDDLENAME = query.value(2).toString();
            UserData.LASTNAME = query.value(3).toString();
            UserData.EmpComment = query.value(4).toString();
        }
        TDbConnection::CheckFetch(query);
    });
    return rows;
}

QStringList TDirectory::KVGetDrivers() const
{
    QStringList result;
    Run([&](TDbConnection& db) {
        for (const TSqlText& sql : {Statements::AccessPointDrivers(), Statements::FaceRecognitionDrivers()}) {
            QSqlQuery query = db.Exec(sql);
            while (query.next())
                result << Line(GuidText(query.value(0)), query.value(1).toString());
            TDbConnection::CheckFetch(query);
        }
    });
    return result;
}

QStringList TDirectory::KVGetLogMsgSubtypes() const
{
    QStringList result;
    Run([&](TDbConnection& db) {
        QSqlQuery query = db.Exec(Statements::PublishedLogMsgSubtypes());
        while (query.next())
            result << Line(query.value(0).toString(), query.value(1).toString());
        TDbConnection::CheckFetch(query);
    });
    return result;
}
