#include "acsdb/DbError.h"

namespace {

QString KindName(QSqlError::ErrorType type)
{
    switch (type) {
    case QSqlError::ConnectionError: return QStringLiteral("ConnectionError");
    case QSqlError::StatementError: return QStringLiteral("StatementError");
    case QSqlError::TransactionError: return QStringLiteral("TransactionError");
    case QSqlError::UnknownError:
    case QSqlError::NoError: break;
    }
    return QStringLiteral("UnknownError");
}

} // namespace

TDbError::TDbError(const QString& kind, const QString& message)
    : std::runtime_error((kind + u' ' + message).toStdString())
    , FKind(kind)
    , FMessage(message)
{
}

TDbError TDbError::From(const QSqlError& error, const QString& fallback)
{
    QString message = error.text().trimmed();
    if (message.isEmpty())
        message = fallback;
    return TDbError(KindName(error.type()), message);
}

QString DbFailureText(const std::exception& error)
{
    if (const auto* dbError = dynamic_cast<const TDbError*>(&error))
        return dbError->Text();
    return QStringLiteral("Exception ") + QString::fromLocal8Bit(error.what());
}
