#include "intake/DispatchQueue.h"

#include <utility>

TDispatchQueue::TDispatchQueue(THandler handler)
    : FHandler(std::move(handler))
    , FThread([this] { Run(); })
{
}

TDispatchQueue::~TDispatchQueue() { Close(std::chrono::milliseconds(0)); }

void TDispatchQueue::Enqueue(TMes mes)
{
    {
        std::lock_guard lock(FLock);
        if (FClosing)
            return;
        FEvents.push_back(std::move(mes));
    }
    FWake.notify_one();
}

std::size_t TDispatchQueue::Close(std::chrono::milliseconds drainLimit)
{
    {
        std::lock_guard lock(FLock);
        if (!FClosing) {
            FClosing = true;
            FDrainDeadline = std::chrono::steady_clock::now() + drainLimit;
        }
    }
    FWake.notify_one();
    if (FThread.joinable())
        FThread.join();
    std::lock_guard lock(FLock);
    const std::size_t left = FEvents.size();
    FEvents.clear();
    return left;
}

std::size_t TDispatchQueue::Pending() const
{
    std::lock_guard lock(FLock);
    return FEvents.size();
}

void TDispatchQueue::Run()
{
    std::unique_lock lock(FLock);
    for (;;) {
        FWake.wait(lock, [this] { return FClosing || !FEvents.empty(); });
        if (FEvents.empty() || (FClosing && std::chrono::steady_clock::now() >= FDrainDeadline))
            return;
        TMes mes = std::move(FEvents.front());
        FEvents.pop_front();
        lock.unlock();
        try {
            FHandler(mes);
        } catch (...) {
            // Delivery reports its own failures; one bad event must not stop the others.
        }
        lock.lock();
    }
}
