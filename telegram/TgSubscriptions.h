#pragma once

#include "core/BotTypes.h"
#include "telegram/TgTypes.h"

#include <QString>

#include <vector>

class TKvBotDriver;

// One phone row of the access-control database found by a lookup.
struct TPhoneRow {
    QString EmployeeId;
    QString PhoneId;
};

// The bot's subscription dialogue. A Telegram user subscribes to the events of every employee
// whose phone number is their own by sharing their own contact; the subscription is kept in the
// database only, as a marker in PhoneNumbers.Description of each matching row, which event
// delivery and the recent-events command look for.
//
// Runs on the bot's thread; every database step and send goes through the driver.
class TTgSubscriptions {
public:
    // "TgBot<id>": the row is subscribed by the user.
    static QString Marker(qint64 userId);
    // "Tg удален<id>": the user's subscription of the row was cancelled.
    static QString CancelledMarker(qint64 userId);
    // Who subscribed, for the operator's log: the sender's names and @username as far as given.
    static QString SubscriberLabel(const TTgUser& user);

    explicit TTgSubscriptions(TKvBotDriver& driver);

    // Asks the user to share their contact, with the one-button keyboard that does it.
    void TgRegUser(qint64 userId);
    // Subscribes the sender to every phone row of the shared number, when it is their own contact.
    void TgOnContact(const TTgMessage& message);
    // Cancels every subscription of the user.
    void TgUnregUser(qint64 userId);

    // The phone rows the user is subscribed to, in the order the database gives them.
    std::vector<TPhoneRow> SubscribedRows(qint64 userId) const;

private:
    // Rows whose whole number is the shared one: first as given without a leading "+", then,
    // only when that finds nothing, with the "+".
    std::vector<TPhoneRow> RowsOfNumber(const QString& delivered) const;
    // The employee's photo with the name as caption, or the name alone.
    void SendEmployee(qint64 chatId, const QString& employeeId, const QString& name);
    void Report(TStatus status, const QString& text) const;

    TKvBotDriver& FDriver;
};
