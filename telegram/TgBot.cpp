#include "telegram/TgBot.h"

#include "telegram/TgPolling.h"

const std::vector<TTgBotApi::TCommand>& TTgBot::MenuCommands()
{
    static const std::vector<TTgBotApi::TCommand> commands{
        {QStringLiteral("lastmes"), QStringLiteral("Получить последние события")},
        {QStringLiteral("reguser"), QStringLiteral("Подписаться на прием сообщений")},
        {QStringLiteral("unreguser"), QStringLiteral("Отписаться от приема сообщений")},
        {QStringLiteral("help"), QStringLiteral("Вывод меню действий")},
    };
    return commands;
}

TTgBot::TTgBot(const QString& baseUrl, const QString& token, TTgHooks hooks, TOptions options)
    : FHooks(std::move(hooks))
    , FApi(
          baseUrl, token, [this](bool responded) { TgOnExecute(responded); }, options.Api)
    , FCommands(FApi, FHooks)
    , FPolling(std::make_unique<TTgPolling>(
          FApi, [this](const TTgUpdate& update) { HandleUpdate(update); }, options.PollInterval))
{
}

TTgBot::~TTgBot() { Stop(); }

void TTgBot::Start() { FPolling->Start(); }

void TTgBot::Stop()
{
    FStopped = true;
    FApi.Interrupt();
    FPolling->Stop();
}

void TTgBot::Report(TStatus status, const QString& text) const
{
    if (FHooks.Report)
        FHooks.Report(TobjTg, status, text);
}

void TTgBot::HandleUpdate(const TTgUpdate& update)
{
    switch (update.Kind) {
    case TTgUpdate::TKind::Message: FCommands.TgOnMessage(update.Message); break;
    case TTgUpdate::TKind::CallbackQuery: FCommands.TgOnCallbackQuery(update.CallbackQuery); break;
    case TTgUpdate::TKind::ChannelPost: FCommands.TgOnChannelPost(update.Message); break;
    default: break; // fetched so that the offset moves past it, and dropped
    }
}

void TTgBot::TgOnExecute(bool responded)
{
    // A stopped bot's client may still carry a late send; its outcome no longer says anything
    // about the bot that runs now.
    if (FStopped)
        return;
    bool runSetup = false;
    {
        // Held while reporting too, so that the reports of two threads come in the order of the
        // state changes they describe.
        std::lock_guard lock(FStateLock);
        if (responded) {
            if (!FTgConstatus || FTgNeedInit) {
                FTgConstatus = true;
                Report(TstConNorm, QStringLiteral("Подключение к сети"));
                // Claimed here, so that the setup's own requests and other threads do not start
                // it a second time.
                runSetup = FTgNeedInit;
                FTgNeedInit = false;
            }
        } else if (FTgConstatus) {
            FTgConstatus = false;
            Report(TstConErr, QStringLiteral("Нет подключения к сети"));
        }
    }
    if (runSetup)
        TgSetup();
}

bool TTgBot::TgSetup()
{
    {
        std::lock_guard lock(FStateLock);
        FTgNeedInit = false;
    }
    const TTgReply me = FApi.GetMe();
    const QJsonObject user = me.Result.toObject();
    if (!me.Ok || !user.contains(QLatin1String("id"))) {
        {
            std::lock_guard lock(FStateLock);
            FTgNeedInit = true;
        }
        Report(TstConErr, QStringLiteral("Ошибка инициализации Tg бота"));
        return false;
    }
    const TTgUser bot = TTgUser::FromJson(user);
    Report(TStNone,
           QStringLiteral("Bot валидный ") + bot.Username + QStringLiteral(": ") + QString::number(bot.Id));
    FApi.SetMyCommands({});
    FApi.SetMyCommands(MenuCommands());
    return true;
}
