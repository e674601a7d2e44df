#pragma once

#include "core/BotTypes.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

// Conversions between column values and the program's texts, the same on SQL Server and SQLite.
//
// GUIDs: SQL Server compares uniqueidentifiers regardless of letter case and braces and prints
// them in upper case without braces; the SQLite files store them that way. The program binds GUIDs
// in that form and reads them back as "{UPPER-CASE}", the form every caller expects.

// A GUID as a statement value: a leading "{" and a trailing "}" removed, upper case.
QString GuidParam(const QString& id);
// A GUID column as text in braces, upper case; NULL reads as an empty text.
QString GuidText(const QVariant& value);
// A text column as a string of its own: it shares no buffer with the query, whose rows are freed
// on the query's thread while the text may travel on to another.
QString OwnText(const QVariant& value);
// A date-time column: SQL Server hands a date-time, SQLite the text it stores.
QDateTime DateTimeValue(const QVariant& value);
// An integer column; NULL (and anything that is not a number) reads as 0.
qint32 IntValue(const QVariant& value);

class QSqlQuery;

// One event-log row of the statements that read the log with its employee's full name and its
// device's name, columns in this order: _id, DateTime, LogMessageType, LogMessageSubType, Message,
// Details, DriverID, EmployeeID, OperatorID, AlcoholResult, AlcoholCheckState, TemperatureResult,
// TemperatureCheckState, full name, device name. Ids as the database reads them ("{UPPER}"); a
// key event, not marked as read by the poller.
TMes LogRowToMes(const QSqlQuery& row);
