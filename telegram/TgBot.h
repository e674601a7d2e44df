#pragma once

#include "telegram/TgBotApi.h"
#include "telegram/TgCommands.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class TTgPolling;

// One running Telegram bot: the Bot API client for its token, the polling worker, the connectivity
// state and the one-time setup. The driver creates one per start and keeps it by shared ownership,
// so that a sender on another thread keeps the bot alive while it sends.
//
// Connectivity (TgOnExecute, after every request on the thread that made it):
//   response, disconnected or setup pending -> connected, "Подключение к сети", setup if pending
//   response, connected and set up          -> nothing
//   no response, connected                  -> disconnected, "Нет подключения к сети"
//   no response, disconnected               -> nothing
// Setup (getMe, then setMyCommands with no commands and with MenuCommands) runs once per
// start; a failed setup is retried at the next response.
class TTgBot {
public:
    struct TOptions {
        std::chrono::milliseconds PollInterval{1000};
        TTgBotApi::TOptions Api;
    };

    // The command list published at setup, in this order.
    static const std::vector<TTgBotApi::TCommand>& MenuCommands();

    TTgBot(const QString& baseUrl, const QString& token, TTgHooks hooks, TOptions options);
    ~TTgBot(); // Stop

    TTgBot(const TTgBot&) = delete;
    TTgBot& operator=(const TTgBot&) = delete;

    // Starts the polling worker; its first poll comes one interval later.
    void Start();
    // Ends the polling worker (waiting for the poll or handler under way) and every wait for
    // retry_after. The client still sends afterwards, for senders that hold the bot.
    void Stop();

    TTgBotApi& Api() { return FApi; }

    bool TgSetup();
    void TgOnExecute(bool responded);

private:
    void HandleUpdate(const TTgUpdate& update);
    void Report(TStatus status, const QString& text) const;

    const TTgHooks FHooks;
    TTgBotApi FApi;
    TTgCommands FCommands;
    std::unique_ptr<TTgPolling> FPolling;

    std::mutex FStateLock;
    bool FTgConstatus = true; // Telegram answered the last request
    bool FTgNeedInit = true;  // setup still to be done
    std::atomic<bool> FStopped{false};
};
