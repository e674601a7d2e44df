#pragma once

#include "telegram/TgTypes.h"

#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class TTgBotApi;

// The bot's short-polling loop on a worker thread of its own: wait the interval, getUpdates
// (limit 100, timeout 0, the update kinds of AllowedUpdates, the next expected offset), hand the
// updates to the handler one at a time in the order received, move the offset past each handled
// update, and again. A failed poll is simply repeated after the interval.
class TTgPolling {
public:
    using THandler = std::function<void(const TTgUpdate&)>;

    static constexpr int kLimit = 100;
    static constexpr int kTimeout = 0;
    static const QStringList& AllowedUpdates();

    // `api` must outlive the poller.
    TTgPolling(TTgBotApi& api, THandler handler, std::chrono::milliseconds interval);
    ~TTgPolling(); // Stop

    TTgPolling(const TTgPolling&) = delete;
    TTgPolling& operator=(const TTgPolling&) = delete;

    void Start();
    // Returns once the worker has ended. A poll or handler under way is finished first; updates
    // of the batch not yet handled stay unconfirmed, so Telegram delivers them again to the next
    // poller. Not to be called from a handler.
    void Stop();

private:
    void Run();
    // False when told to stop.
    bool WaitInterval();
    void HandleBatch(const TTgReply& reply);

    TTgBotApi& FApi;
    const THandler FHandler;
    const std::chrono::milliseconds FInterval;

    std::mutex FLock;
    std::condition_variable FWake;
    bool FStopping = false;
    qint64 FOffset = 0; // worker thread only
    std::thread FThread;
};
