#pragma once

#include "core/BotTypes.h"

#include <QString>

#include <optional>

class TKvBotDriver;

// Chooses the recipients of one event and sends it to each: on Telegram to the extra chats of
// TgAdd (each optionally limited by a named filter) and, unless TgOnlyAdd, to the chats subscribed
// through the employee's phone rows; by SMS to the numbers of SmsRuAdd and, unless SmsRuOnlyAdd,
// to every phone of the employee. Runs on the dispatch thread; every failure is reported and
// delivery goes on with the next recipient.
class TDispatcher {
public:
    explicit TDispatcher(TKvBotDriver& driver);

    void DispatchMes(const TMes& mes) const;

    // One Telegram message to the chat written as text; the phone only goes into the report.
    // False when the chat is not a valid non-zero id (silently) or the send failed (reported).
    bool TgSendMes(const QString& chat, const QString& phone, const TMes& mes) const;

private:
    bool SendTelegram(const QString& chat, const QString& phone, const QString& text) const;
    void SendTelegramToExtraChats(const QString& tgAdd, const TMes& mes, const QString& text) const;
    void SendTelegramToSubscribers(const QStringList& phones, const QString& text) const;
    void SendSms(const TConf& conf, const QStringList& phones, const TMes& mes) const;

    TKvBotDriver& FDriver;
};

// A chat id as the settings and subscription markers write it: blanks in front, one sign, then
// decimal digits or a hexadecimal number after "$", "x" or "0x", and nothing else; nullopt when
// the text is not such a number or does not fit 64 bits.
std::optional<qint64> ParseChatId(const QString& text);

// The number without one leading "+".
QString WithoutLeadingPlus(const QString& number);
