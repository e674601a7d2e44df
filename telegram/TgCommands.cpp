#include "telegram/TgCommands.h"

#include "telegram/TgBotApi.h"

#include <QDateTime>

#include <cstdlib>
#include <utility>

const QString& TTgCommands::WelcomeText()
{
    static const QString text = QStringLiteral("Добро пожаловать в Bot СКУД Kestrava.");
    return text;
}

const QString& TTgCommands::HelpText()
{
    static const QString text = QStringLiteral("Меню действий:\r\n"
                                               "/lastmes      - Получить последние события\r\n"
                                               "/reguser      - Подписаться на прием сообщений\r\n"
                                               "/unreguser - Отписаться от приема сообщений\r\n"
                                               "/help            - Вывод меню действий");
    return text;
}

TTgCommands::TTgCommands(TTgBotApi& api, TTgHooks hooks)
    : FApi(api)
    , FHooks(std::move(hooks))
{
}

QString TTgCommands::FirstWord(const QString& text)
{
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    return blank < 0 ? text : text.left(blank);
}

bool TTgCommands::TooOld(qint64 dateSeconds, qint64 nowMs)
{
    const qint64 seconds = std::llabs(nowMs - dateSeconds * 1000) / 1000;
    return seconds > kMaxAgeSeconds;
}

qint64 TTgCommands::NowMs() const
{
    return FHooks.NowMs ? FHooks.NowMs() : QDateTime::currentMSecsSinceEpoch();
}

void TTgCommands::Report(TStatus status, const QString& text) const
{
    if (FHooks.Report)
        FHooks.Report(TobjTg, status, text);
}

void TTgCommands::ForUser(const std::function<void(qint64)>& action, qint64 userId) const
{
    if (action && userId != 0)
        action(userId);
}

void TTgCommands::TgOnMessage(const TTgMessage& message)
{
    if (TooOld(message.Date, NowMs()))
        return;
    if (message.Text)
        TgOnTextMessage(message);
    else if (message.Contact && FHooks.OnContact)
        FHooks.OnContact(message);
}

void TTgCommands::TgOnTextMessage(const TTgMessage& message)
{
    const QString text = message.Text.value_or(QString());
    if (Flag(FHooks.LogTg))
        Report(TstRecMes, message.From.LastName + QLatin1Char(' ') + message.From.FirstName +
                              QStringLiteral(" (") + message.From.Username + QStringLiteral("): ") + text);
    const QString command = FirstWord(text);
    if (Flag(FHooks.TgGetIdEn))
        Report(TstGetId, QString::number(message.ChatId) + QLatin1Char(':') + command);

    const qint64 userId = message.From.Id;
    if (command == QLatin1String("/start")) {
        if (userId != 0) {
            FApi.SendText(userId, WelcomeText(), TTgKeyboard::Keep);
            TgSendHelp(userId);
        }
    } else if (command == QLatin1String("/lastmes")) {
        ForUser(FHooks.LastMes, userId);
    } else if (command == QLatin1String("/reguser")) {
        ForUser(FHooks.RegUser, userId);
    } else if (command == QLatin1String("/unreguser")) {
        ForUser(FHooks.UnregUser, userId);
    } else if (command == QLatin1String("/help")) {
        if (userId != 0)
            TgSendHelp(userId);
    }
}

void TTgCommands::TgOnCallbackQuery(const TTgCallbackQuery& query)
{
    FApi.AnswerCallbackQuery(query.Id);
    const QString data = query.Data.value_or(QString());
    const qint64 userId = query.From.Id;
    if (data == QLatin1String("lastmes"))
        ForUser(FHooks.LastMes, userId);
    else if (data == QLatin1String("reguser"))
        ForUser(FHooks.RegUser, userId);
    else if (data == QLatin1String("unreguser"))
        ForUser(FHooks.UnregUser, userId);
    else if (data == QLatin1String("help") && userId != 0)
        TgSendHelp(userId);
}

void TTgCommands::TgOnChannelPost(const TTgMessage& post)
{
    if (Flag(FHooks.TgGetIdEn))
        Report(TstGetId, QString::number(post.ChatId) + QLatin1Char(':') + post.Text.value_or(QString()));
}

void TTgCommands::TgSendHelp(qint64 chatId) { FApi.SendText(chatId, HelpText(), TTgKeyboard::Keep); }

void TTgCommands::TgSendMenu(qint64 chatId) { TgSendHelp(chatId); }
