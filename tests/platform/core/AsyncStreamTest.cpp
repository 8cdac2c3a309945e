#include <gtest/gtest.h>

#include <vector>

#include "platform/core/AsyncStream.hpp"
#include "support/PlatformTest.hpp"

namespace talvori {
namespace {

using testing::PlatformTest;

class AsyncStreamTest : public PlatformTest {
  protected:
    // Takes every element into `received` until the stream ends.
    Task consume(AsyncStream<int> stream) {
        return Task::start(
            loop(),
            [this, stream = std::make_shared<AsyncStream<int>>(std::move(stream))]() -> Async {
                while (auto value = co_await stream->next()) received.push_back(*value);
                ended = true;
            });
    }

    std::vector<int> received;
    bool ended = false;
};

TEST_F(AsyncStreamTest, AnUnboundedStreamKeepsEverythingAndEndsAfterDrainingWhenFinished) {
    auto [stream, producer] = AsyncStream<int>::make(StreamBuffering::unbounded);
    int terminations = 0;
    producer.setOnTermination([&] { ++terminations; });
    producer.yield(1);
    producer.yield(2);
    auto task = consume(std::move(stream));
    runUntilIdle();
    producer.yield(3);
    producer.finish();
    producer.yield(4);
    runUntilIdle();
    EXPECT_EQ(received, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(ended);
    EXPECT_EQ(terminations, 1);
}

TEST_F(AsyncStreamTest, ANewestStreamKeepsOnlyTheLatestUntakenElement) {
    auto [stream, producer] = AsyncStream<int>::make(StreamBuffering::newest);
    producer.yield(1);
    producer.yield(2);
    producer.yield(3);
    auto task = consume(std::move(stream));
    runUntilIdle();
    EXPECT_EQ(received, (std::vector<int>{3}));
    producer.yield(4);
    runUntilIdle();
    EXPECT_EQ(received, (std::vector<int>{3, 4}));
    EXPECT_FALSE(ended);
    task.cancel();
    runUntilIdle();
    EXPECT_TRUE(ended);
}

TEST_F(AsyncStreamTest, TheConsumerEndsItByCancellingOrDroppingIt) {
    int terminations = 0;
    {
        auto [stream, producer] = AsyncStream<int>::make(StreamBuffering::unbounded);
        producer.setOnTermination([&] { ++terminations; });
        auto task = consume(std::move(stream));
        runUntilIdle();
        task.cancel();
        EXPECT_EQ(terminations, 1);
        EXPECT_TRUE(producer.isTerminated());
        producer.yield(1);
        runUntilIdle();
        EXPECT_TRUE(received.empty());
        EXPECT_TRUE(ended);
    }
    {
        auto [stream, producer] = AsyncStream<int>::make(StreamBuffering::unbounded);
        producer.setOnTermination([&] { ++terminations; });
        { auto dropped = std::move(stream); }
        EXPECT_EQ(terminations, 2);
        // A handler set after the end runs at once.
        producer.setOnTermination([&] { ++terminations; });
        EXPECT_EQ(terminations, 3);
    }
}

TEST_F(AsyncStreamTest, TheStreamEndsWhenItsLastProducerGoes) {
    auto [stream, producer] = AsyncStream<int>::make(StreamBuffering::unbounded);
    auto task = consume(std::move(stream));
    {
        auto copy = producer;
        copy.yield(5);
    }
    runUntilIdle();
    EXPECT_FALSE(ended);
    { auto gone = std::move(producer); }
    runUntilIdle();
    EXPECT_EQ(received, (std::vector<int>{5}));
    EXPECT_TRUE(ended);
}

}  // namespace
}  // namespace talvori
