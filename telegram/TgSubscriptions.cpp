#include "telegram/TgSubscriptions.h"

#include "core/BotDriver.h"

#include <exception>

namespace {

const QString kPrompt = QStringLiteral(
    "Для подписки на прием сообщений необходимо зарегистрироваться. Нажмите отправить контакт");
const QString kForeignContact = QStringLiteral("Отправка контакта из адресной книги запрещена");
const QString kUnknownNumber = QStringLiteral("В базе данных СКУД отсутствуют сведения о номере: ");
const QString kNewSubscriber = QStringLiteral("Новый подписчик:  (");
const QString kNoSubscriptions = QStringLiteral("Активных подписок не найдено");
const QString kCancelled = QStringLiteral("Подписка удалена: ");
// A marker that could not be written: the user must not believe the change was made.
const QString kSubscribeFailed = QStringLiteral("Не удалось сохранить подписку. Попробуйте позже");
const QString kCancelFailed = QStringLiteral("Не удалось удалить подписку. Попробуйте позже");

QString SubscribedText(std::size_t rows)
{
    return QStringLiteral("Вы подписаны на прием сообщений ") + QString::number(rows) +
           QStringLiteral(" пользователя(-ей):");
}

// "{EmpId}={PhoneId}" lines of the directory as rows.
std::vector<TPhoneRow> PhoneRows(const QStringList& lines)
{
    std::vector<TPhoneRow> rows;
    for (const QString& line : lines) {
        const qsizetype separator = line.indexOf(u'=');
        if (separator > 0)
            rows.push_back({line.left(separator), line.mid(separator + 1)});
    }
    return rows;
}

QString EmployeeName(const TUserData& employee)
{
    return employee.LASTNAME + u' ' + employee.FIRSTNAME + u' ' + employee.MIDDLENAME;
}

} // namespace

QString TTgSubscriptions::Marker(qint64 userId) { return QStringLiteral("TgBot") + QString::number(userId); }

QString TTgSubscriptions::CancelledMarker(qint64 userId)
{
    return QStringLiteral("Tg удален") + QString::number(userId);
}

QString TTgSubscriptions::SubscriberLabel(const TTgUser& user)
{
    QStringList parts;
    for (const QString& name : {user.FirstName, user.LastName}) {
        if (!name.isEmpty())
            parts << name;
    }
    if (!user.Username.isEmpty())
        parts << u'@' + user.Username;
    return parts.join(u' ');
}

TTgSubscriptions::TTgSubscriptions(TKvBotDriver& driver)
    : FDriver(driver)
{
}

void TTgSubscriptions::Report(TStatus status, const QString& text) const
{
    FDriver.DoLogState(TobjTg, status, text);
}

void TTgSubscriptions::TgRegUser(qint64 userId) { FDriver.TgSendContactRequest(userId, kPrompt); }

std::vector<TPhoneRow> TTgSubscriptions::SubscribedRows(qint64 userId) const
{
    return PhoneRows(FDriver.FindPhones(QString(), QString(), QString(), QString(), Marker(userId)));
}

std::vector<TPhoneRow> TTgSubscriptions::RowsOfNumber(const QString& delivered) const
{
    const QString number = delivered.startsWith(u'+') ? delivered.mid(1) : delivered;
    QStringList lines = FDriver.FindPhones(number, QString(), QString(), QString(), QString());
    if (lines.isEmpty())
        lines = FDriver.FindPhones(u'+' + number, QString(), QString(), QString(), QString());
    return PhoneRows(lines);
}

void TTgSubscriptions::TgOnContact(const TTgMessage& message)
{
    const qint64 senderId = message.From.Id;
    if (senderId == 0 || !message.Contact)
        return; // nobody to answer
    const TTgContact& contact = *message.Contact;
    // Only the user's own contact proves the number; one from the address book proves nothing.
    if (contact.UserId != senderId) {
        FDriver.TgSendText(senderId, kForeignContact, false);
        return;
    }

    const std::vector<TPhoneRow> rows = RowsOfNumber(contact.PhoneNumber);
    if (rows.empty()) {
        FDriver.TgSendText(senderId, kUnknownNumber + contact.PhoneNumber, true);
        return;
    }
    FDriver.TgSendText(senderId, SubscribedText(rows.size()), true);

    const QString marker = Marker(senderId);
    const QString subscriber = kNewSubscriber + SubscriberLabel(message.From) + QStringLiteral(" : ") +
                               QString::number(senderId) + QStringLiteral(") : ") + contact.LastName + u' ' +
                               contact.FirstName + u' ' + contact.PhoneNumber;
    bool failed = false;
    for (const TPhoneRow& row : rows) {
        TUserData employee;
        const int found = FDriver.GetEmployee(row.EmployeeId, employee);
        if (found != 1) {
            failed = failed || found < 0; // a failed read; none or several records are skipped
            continue;
        }
        // Announced only once the marker stands, so that the log and the names the user gets
        // list exactly the subscriptions made.
        if (!FDriver.SetPhoneDescription(row.PhoneId, marker)) {
            failed = true;
            continue;
        }
        Report(TstRecMes, subscriber);
        SendEmployee(message.ChatId, row.EmployeeId, EmployeeName(employee));
    }
    if (failed)
        FDriver.TgSendText(senderId, kSubscribeFailed, false);
}

void TTgSubscriptions::SendEmployee(qint64 chatId, const QString& employeeId, const QString& name)
{
    try {
        const QByteArray photo = FDriver.GetEmpPhoto(employeeId, 1);
        if (!photo.isEmpty()) {
            const TTgReply reply = FDriver.TgSendPhoto(chatId, name, photo);
            if (!reply.Responded || reply.Ok)
                return;
            // A photo Telegram cannot take (a damaged image, say): the name still reaches the user.
            Report(TstProc, QStringLiteral("sendPhoto ") + reply.Description);
        }
        FDriver.TgSendText(chatId, name, false);
    } catch (const std::exception& error) {
        Report(TstProc, QStringLiteral("Exception ") + QString::fromLocal8Bit(error.what()));
    }
}

void TTgSubscriptions::TgUnregUser(qint64 userId)
{
    const std::vector<TPhoneRow> rows = SubscribedRows(userId);
    if (rows.empty()) {
        FDriver.TgSendText(userId, kNoSubscriptions, true);
        return;
    }
    const QString cancelled = CancelledMarker(userId);
    TUserData employee; // the last one read names the cancellation
    bool failed = false;
    for (const TPhoneRow& row : rows) {
        const bool done = FDriver.GetEmployee(row.EmployeeId, employee) == 1 &&
                          FDriver.SetPhoneDescription(row.PhoneId, cancelled);
        failed = failed || !done;
    }
    // A row still subscribed keeps delivering events: the user must not be told otherwise.
    FDriver.TgSendText(
        userId, failed ? kCancelFailed : kCancelled + employee.LASTNAME + u' ' + employee.FIRSTNAME, true);
}
