#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>

// The vocabulary every subsystem speaks: the event record, the employee record, the two
// enumerations that classify status reports, the two callbacks and the persisted settings.

// One access-control event, from a datagram or from the database event log.
class TMes {
public:
    QString LogMessageId;
    QString DriverId;
    QDateTime DateTime;
    bool IsKeyEvent = false;
    QString MessageType;
    QString MessageSubType; // the subtype's name from a datagram, its number from the log
    QString EmployeeId;
    QString Message;
    QString Details;
    QString OperatorId;
    QString Data;
    QString DriverName;

    // Writing the full name splits it into LASTNAME, FIRSTNAME and SecondName.
    const QString& EmployeeFullName() const { return FEmployeeFullName; }
    void SetEmployeeFullName(const QString& fullName);

    QString FIRSTNAME;
    QString LASTNAME;
    QString SecondName;

    std::int32_t AlcoholResult = 0;
    std::int32_t AlcoholCheckState = 0;
    std::int32_t TemperatureResult = 0; // tenths of a degree: 366 is 36.6
    std::int32_t TemperatureCheckState = 0;
    bool MessFromBase = false; // true when read from the database log, false for a datagram

private:
    QString FEmployeeFullName;
};

// An employee's identity, one row of the employee table.
struct TUserData {
    QString Sid;
    QString FIRSTNAME;
    QString MIDDLENAME;
    QString LASTNAME;
    QString EmpComment;
};

// Source of a status report. The ordinals travel and are fixed.
enum Tobj : std::uint8_t {
    TObjNone = 0,
    TobjBase = 1,
    TobjLog = 2,
    TobjTg = 3,
    TobjSmsru = 4,
    TobjServMes = 5,
};

// Kind of a status report. The ordinals travel and are fixed.
enum TStatus : std::uint8_t {
    TStNone = 0,
    TstConErr = 1,
    TstConNorm = 2,
    TstRecMes = 3,
    TstSendMes = 4,
    TstProc = 5,
    TstChanRec = 6,
    TstGetId = 7,
    TStStatus = 8,
};

// The enumerators' own spelling, used wherever a report is written as text.
QString TobjName(Tobj obj);
QString TStatusName(TStatus status);

// Status callback: source, kind, text.
using TLogState = std::function<void(Tobj Obj, TStatus Status, QString Mess)>;
// Event callback of the poller; the record is valid during the call only.
using TlogMess = std::function<void(const TMes& Mes)>;

// The persisted settings, in file order.
struct TConf {
    QString TgId;
    bool TgEn = false;
    double BdTmpLimit = 0.0;
    bool BdEn = false;
    QString TgMessFrm;
    QString SmsRuId;
    bool SmsRuEn = false;
    QString SmsRuMessFrm;
    bool TgOnlyAdd = false;
    bool SmsRuOnlyAdd = false;
    QString TgAdd;
    QString SmsRuAdd;
    QString MessFltr;

    bool operator==(const TConf&) const = default;
};
