#pragma once

#include <QSqlError>
#include <QString>

#include <stdexcept>

// A failed database step. Kind is the client's name for the class of failure (ConnectionError,
// StatementError, TransactionError, ...); reports read "<Kind> <Message>".
class TDbError : public std::runtime_error {
public:
    TDbError(const QString& kind, const QString& message);
    static TDbError From(const QSqlError& error, const QString& fallback);

    const QString& Kind() const { return FKind; }
    const QString& Message() const { return FMessage; }
    QString Text() const { return FKind + u' ' + FMessage; }

private:
    QString FKind;
    QString FMessage;
};

// The report text of a failure met by a database operation: "<Kind> <Message>" for a database
// error, "Exception <what>" for anything else.
QString DbFailureText(const std::exception& error);
