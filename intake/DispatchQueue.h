#pragma once

#include "core/BotTypes.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Events wait here between their arrival (datagram receiving threads, the log poller) and their
// delivery. One dispatch thread hands them to the handler in arrival order, so a slow Telegram or
// SMS gateway never keeps the sockets from being read.
class TDispatchQueue {
public:
    using THandler = std::function<void(const TMes&)>;

    explicit TDispatchQueue(THandler handler);
    ~TDispatchQueue(); // Close with no time to drain

    TDispatchQueue(const TDispatchQueue&) = delete;
    TDispatchQueue& operator=(const TDispatchQueue&) = delete;

    // Any thread. Ignored after Close.
    void Enqueue(TMes mes);

    // Stops taking events, delivers what is queued for at most `drainLimit`, then joins the
    // dispatch thread. Returns the number of events left undelivered.
    std::size_t Close(std::chrono::milliseconds drainLimit);

    std::size_t Pending() const;

private:
    void Run();

    const THandler FHandler;
    mutable std::mutex FLock;
    std::condition_variable FWake;
    std::deque<TMes> FEvents;
    bool FClosing = false;
    std::chrono::steady_clock::time_point FDrainDeadline;
    std::thread FThread;
};
