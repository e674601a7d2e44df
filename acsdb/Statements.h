#pragma once

#include "acsdb/ConnectionDef.h"
#include "acsdb/SqlText.h"

#include <QString>

// Every statement the program sends to the access-control database, in the dialect of the
// connection. The SQL Server texts are the installation's own; the SQLite texts say the same in
// SQLite's words (|| for +, ifnull around CONCAT's operands, which CONCAT reads as empty).
namespace Statements {

// Database version row.
TSqlText Version();

// Directory.
TSqlText FindPhones(TSqlDialect dialect, const QString& Phone, const QString& CountryCode,
                    const QString& CityCode, const QString& Number, const QString& Description);
TSqlText GetEmpPhones(TSqlDialect dialect, const QString& EmployeeId);
TSqlText SetPhoneDescription(const QString& PhoneId, const QString& Description);
TSqlText GetEmpPhoto(const QString& EmployeeId, int PhotoNumber);
TSqlText GetEmployee(const QString& EmployeeId);
TSqlText AccessPointDrivers();
TSqlText FaceRecognitionDrivers();
TSqlText PublishedLogMsgSubtypes();

// Event log poller: the newest id at start, then the rows after the last one handled, oldest first.
TSqlText LogStartId();
TSqlText LogRowsAfter(qint64 lastId);

// The bot's recent-events command: the five newest events of one employee, newest first, with
// the columns of the poll statement.
TSqlText RecentEvents(TSqlDialect dialect, const QString& EmployeeId);

// The reaction that makes the server run PelorinSend for every event: one SQL Server batch, with
// the program path written into its first line as a string literal.
QStringList ReactionBatch(const QString& sendPath);

} // namespace Statements
