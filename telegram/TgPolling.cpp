#include "telegram/TgPolling.h"

#include "telegram/TgBotApi.h"

#include <QJsonArray>

#include <algorithm>
#include <utility>

const QStringList& TTgPolling::AllowedUpdates()
{
    static const QStringList kinds{
        QStringLiteral("message"),        QStringLiteral("edited_message"),
        QStringLiteral("channel_post"),   QStringLiteral("edited_channel_post"),
        QStringLiteral("inline_query"),   QStringLiteral("chosen_inline_result"),
        QStringLiteral("callback_query"),
    };
    return kinds;
}

TTgPolling::TTgPolling(TTgBotApi& api, THandler handler, std::chrono::milliseconds interval)
    : FApi(api)
    , FHandler(std::move(handler))
    , FInterval(interval)
{
}

TTgPolling::~TTgPolling() { Stop(); }

void TTgPolling::Start()
{
    std::lock_guard lock(FLock);
    if (FThread.joinable() || FStopping)
        return;
    FThread = std::thread([this] { Run(); });
}

void TTgPolling::Stop()
{
    {
        std::lock_guard lock(FLock);
        FStopping = true;
    }
    FWake.notify_all();
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id())
        FThread.join();
}

bool TTgPolling::WaitInterval()
{
    std::unique_lock lock(FLock);
    FWake.wait_for(lock, FInterval, [this] { return FStopping; });
    return !FStopping;
}

void TTgPolling::Run()
{
    while (WaitInterval()) {
        const TTgReply reply = FApi.GetUpdates(FOffset, kLimit, kTimeout, AllowedUpdates());
        if (reply.Ok)
            HandleBatch(reply);
    }
}

void TTgPolling::HandleBatch(const TTgReply& reply)
{
    const QJsonArray updates = reply.Result.toArray();
    for (const QJsonValue& value : updates) {
        {
            std::lock_guard lock(FLock);
            if (FStopping)
                return;
        }
        const std::optional<TTgUpdate> update = TTgUpdate::FromJson(value.toObject());
        if (!update)
            continue;
        try {
            FHandler(*update);
        } catch (...) {
            // A handler reports its own failures; polling goes on with the next update.
        }
        FOffset = std::max(FOffset, update->UpdateId + 1);
    }
}
