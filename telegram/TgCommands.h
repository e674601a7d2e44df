#pragma once

#include "core/BotTypes.h"
#include "telegram/TgTypes.h"

#include <QString>

#include <functional>

class TTgBotApi;

// What the bot needs from its owner (the driver). Every member may be empty.
struct TTgHooks {
    TLogState Report;                                 // status reports
    std::function<bool()> LogTg;                      // report every incoming text
    std::function<bool()> TgGetIdEn;                  // recipient-id mode: report chat ids
    std::function<void(qint64 userId)> RegUser;       // "/reguser", callback "reguser"
    std::function<void(qint64 userId)> UnregUser;     // "/unreguser", callback "unreguser"
    std::function<void(qint64 userId)> LastMes;       // "/lastmes", callback "lastmes"
    std::function<void(const TTgMessage&)> OnContact; // a shared contact
    std::function<qint64()> NowMs;                    // ms since the epoch, UTC; empty: the system clock
};

// The bot's update handlers. They run on the poller's thread, one update at a time, keep no
// state between updates and answer through the bot's own client.
class TTgCommands {
public:
    static constexpr qint64 kMaxAgeSeconds = 30;

    static const QString& WelcomeText();
    static const QString& HelpText();

    // `api` must outlive the handlers.
    TTgCommands(TTgBotApi& api, TTgHooks hooks);

    // A message older (or newer) than 30 whole seconds is dropped without a trace; otherwise a
    // text goes to TgOnTextMessage, a shared contact to the OnContact hook, anything else nowhere.
    void TgOnMessage(const TTgMessage& message);
    void TgOnTextMessage(const TTgMessage& message);
    // Answered first, then the action for the user who pressed the button.
    void TgOnCallbackQuery(const TTgCallbackQuery& query);
    // Only reported, in recipient-id mode; the bot never answers in a channel.
    void TgOnChannelPost(const TTgMessage& post);
    void TgSendHelp(qint64 chatId);
    void TgSendMenu(qint64 chatId);

    // The text before the first blank; empty when the text starts with one.
    static QString FirstWord(const QString& text);
    // Whole seconds between `dateSeconds` and `nowMs`, either way, truncated, above 30.
    static bool TooOld(qint64 dateSeconds, qint64 nowMs);

private:
    void Report(TStatus status, const QString& text) const;
    bool Flag(const std::function<bool()>& flag) const { return flag && flag(); }
    void ForUser(const std::function<void(qint64)>& action, qint64 userId) const;
    qint64 NowMs() const;

    TTgBotApi& FApi;
    const TTgHooks FHooks;
};
