#include "telegram/TgTypes.h"

#include "core/HttpClient.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace {

std::optional<QString> OptionalString(const QJsonObject& json, const QString& key)
{
    const QJsonValue value = json.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

} // namespace

TTgUser TTgUser::FromJson(const QJsonObject& json)
{
    TTgUser user;
    user.Id = json.value(QLatin1String("id")).toInteger();
    user.FirstName = json.value(QLatin1String("first_name")).toString();
    user.LastName = json.value(QLatin1String("last_name")).toString();
    user.Username = json.value(QLatin1String("username")).toString();
    return user;
}

TTgContact TTgContact::FromJson(const QJsonObject& json)
{
    TTgContact contact;
    contact.PhoneNumber = json.value(QLatin1String("phone_number")).toString();
    contact.FirstName = json.value(QLatin1String("first_name")).toString();
    contact.LastName = json.value(QLatin1String("last_name")).toString();
    contact.UserId = json.value(QLatin1String("user_id")).toInteger();
    return contact;
}

TTgMessage TTgMessage::FromJson(const QJsonObject& json)
{
    TTgMessage message;
    message.MessageId = json.value(QLatin1String("message_id")).toInteger();
    message.From = TTgUser::FromJson(json.value(QLatin1String("from")).toObject());
    message.ChatId = json.value(QLatin1String("chat")).toObject().value(QLatin1String("id")).toInteger();
    message.Date = json.value(QLatin1String("date")).toInteger();
    message.Text = OptionalString(json, QStringLiteral("text"));
    const QJsonValue contact = json.value(QLatin1String("contact"));
    if (contact.isObject())
        message.Contact = TTgContact::FromJson(contact.toObject());
    return message;
}

TTgCallbackQuery TTgCallbackQuery::FromJson(const QJsonObject& json)
{
    TTgCallbackQuery query;
    query.Id = json.value(QLatin1String("id")).toString();
    query.From = TTgUser::FromJson(json.value(QLatin1String("from")).toObject());
    query.Data = OptionalString(json, QStringLiteral("data"));
    return query;
}

std::optional<TTgUpdate> TTgUpdate::FromJson(const QJsonObject& json)
{
    const QJsonValue id = json.value(QLatin1String("update_id"));
    if (!id.isDouble())
        return std::nullopt;
    struct TKindKey {
        TKind Kind;
        const char* Key;
    };
    static const TKindKey kKinds[] = {
        {TKind::Message, "message"},
        {TKind::EditedMessage, "edited_message"},
        {TKind::ChannelPost, "channel_post"},
        {TKind::EditedChannelPost, "edited_channel_post"},
        {TKind::InlineQuery, "inline_query"},
        {TKind::ChosenInlineResult, "chosen_inline_result"},
        {TKind::CallbackQuery, "callback_query"},
    };
    TTgUpdate update;
    update.UpdateId = id.toInteger();
    for (const TKindKey& kind : kKinds) {
        const QJsonValue body = json.value(QLatin1String(kind.Key));
        if (!body.isObject())
            continue;
        update.Kind = kind.Kind;
        if (kind.Kind == TKind::Message || kind.Kind == TKind::ChannelPost)
            update.Message = TTgMessage::FromJson(body.toObject());
        else if (kind.Kind == TKind::CallbackQuery)
            update.CallbackQuery = TTgCallbackQuery::FromJson(body.toObject());
        break;
    }
    return update;
}

TTgReply TTgReply::FromHttp(const THttpResponse& response)
{
    TTgReply reply;
    reply.Responded = response.Responded;
    reply.HttpStatus = response.Status;
    if (!response.Responded) {
        reply.Description = response.Failure;
        return reply;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(response.Body, &error);
    if (!document.isObject()) {
        reply.Description =
            QStringLiteral("HTTP %1 %2").arg(response.Status).arg(response.StatusText).trimmed();
        return reply;
    }
    const QJsonObject json = document.object();
    reply.Ok = json.value(QLatin1String("ok")).toBool();
    reply.ErrorCode = int(json.value(QLatin1String("error_code")).toInteger());
    reply.Description = json.value(QLatin1String("description")).toString();
    reply.RetryAfter = int(
        json.value(QLatin1String("parameters")).toObject().value(QLatin1String("retry_after")).toInteger());
    reply.Result = json.value(QLatin1String("result"));
    if (!reply.Ok && reply.Description.isEmpty())
        reply.Description =
            QStringLiteral("HTTP %1 %2").arg(response.Status).arg(response.StatusText).trimmed();
    return reply;
}

TTgReply TTgReply::NotSent(const QString& why)
{
    TTgReply reply;
    reply.Description = why;
    return reply;
}
