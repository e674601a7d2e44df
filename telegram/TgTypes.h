#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

struct THttpResponse;

// The parts of Bot API objects the bot reads, and the answer Telegram gives to every request.

struct TTgUser {
    qint64 Id = 0;
    QString FirstName;
    QString LastName; // empty when the user has none
    QString Username; // empty when the user has none

    static TTgUser FromJson(const QJsonObject& json);
};

// A contact shared in a message; UserId is 0 when the contact carries no Telegram user.
struct TTgContact {
    QString PhoneNumber;
    QString FirstName;
    QString LastName;
    qint64 UserId = 0;

    static TTgContact FromJson(const QJsonObject& json);
};

struct TTgMessage {
    qint64 MessageId = 0;
    TTgUser From;      // Id 0 when the message has no sender (a channel post)
    qint64 ChatId = 0; // the user's id in a private chat, negative for groups and channels
    qint64 Date = 0;   // seconds since the epoch, UTC
    std::optional<QString> Text;
    std::optional<TTgContact> Contact;

    static TTgMessage FromJson(const QJsonObject& json);
};

struct TTgCallbackQuery {
    QString Id;
    TTgUser From;
    std::optional<QString> Data;

    static TTgCallbackQuery FromJson(const QJsonObject& json);
};

struct TTgUpdate {
    enum class TKind {
        Message,
        EditedMessage,
        ChannelPost,
        EditedChannelPost,
        InlineQuery,
        ChosenInlineResult,
        CallbackQuery,
        Other,
    };

    qint64 UpdateId = 0;
    TKind Kind = TKind::Other;
    TTgMessage Message;             // Kind Message or ChannelPost
    TTgCallbackQuery CallbackQuery; // Kind CallbackQuery

    // Empty when the object carries no update_id.
    static std::optional<TTgUpdate> FromJson(const QJsonObject& json);
};

// Which reply keyboard a sent message carries.
enum class TTgKeyboard {
    Keep,           // no reply_markup: whatever keyboard the chat shows stays
    Remove,         // ReplyKeyboardRemove
    RequestContact, // one button "Отправить контакт" that shares the user's own contact
};

// What Telegram answered to one request.
struct TTgReply {
    bool Responded = false; // an HTTP response arrived (any status)
    int HttpStatus = 0;
    bool Ok = false;   // Telegram's "ok"
    int ErrorCode = 0; // Telegram's "error_code", 0 when absent
    // Telegram's "description"; when no response arrived, why (connection refused, time-out ...).
    QString Description;
    int RetryAfter = 0; // "parameters.retry_after" in seconds, 0 when absent
    QJsonValue Result;

    bool TooManyRequests() const { return HttpStatus == 429 || ErrorCode == 429; }

    static TTgReply FromHttp(const THttpResponse& response);
    // A send that never reached Telegram, for instance because the bot is not running.
    static TTgReply NotSent(const QString& why);
};
