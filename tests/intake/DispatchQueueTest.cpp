#include "intake/DispatchQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

TMes Event(int id)
{
    TMes mes;
    mes.LogMessageId = QString::number(id);
    return mes;
}

TEST(DispatchQueue, DeliversInArrivalOrderOnOneThread)
{
    std::mutex lock;
    std::vector<int> seen;
    std::vector<std::thread::id> threads;
    TDispatchQueue queue([&](const TMes& mes) {
        std::lock_guard guard(lock);
        seen.push_back(mes.LogMessageId.toInt());
        threads.push_back(std::this_thread::get_id());
    });
    for (int i = 0; i < 500; ++i)
        queue.Enqueue(Event(i));
    EXPECT_EQ(queue.Close(std::chrono::seconds(10)), 0u);
    ASSERT_EQ(seen.size(), 500u);
    for (int i = 0; i < 500; ++i)
        EXPECT_EQ(seen[size_t(i)], i);
    EXPECT_NE(threads.front(), std::this_thread::get_id());
    EXPECT_EQ(std::count(threads.begin(), threads.end(), threads.front()), 500);
}

TEST(DispatchQueue, CloseStopsAfterTheDrainLimitAndCountsTheRest)
{
    std::atomic<int> delivered{0};
    TDispatchQueue queue([&](const TMes&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ++delivered;
    });
    for (int i = 0; i < 100; ++i)
        queue.Enqueue(Event(i));
    const std::size_t left = queue.Close(std::chrono::milliseconds(120));
    EXPECT_EQ(left + size_t(delivered.load()), 100u);
    EXPECT_GT(left, 0u);
    queue.Enqueue(Event(1000));
    EXPECT_EQ(queue.Pending(), 0u) << "a closed queue takes nothing";
}

TEST(DispatchQueue, AThrowingHandlerDoesNotStopTheQueue)
{
    std::atomic<int> delivered{0};
    TDispatchQueue queue([&](const TMes& mes) {
        ++delivered;
        if (mes.LogMessageId == QStringLiteral("1"))
            throw std::runtime_error("boom");
    });
    for (int i = 0; i < 3; ++i)
        queue.Enqueue(Event(i));
    queue.Close(std::chrono::seconds(5));
    EXPECT_EQ(delivered, 3);
}

} // namespace
