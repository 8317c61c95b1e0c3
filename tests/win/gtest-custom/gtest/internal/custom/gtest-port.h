// GoogleTest's own customisation point, placed ahead of its stock headers.
// The win32 thread model of Debian's mingw-w64 has no std::mutex or
// std::condition_variable, which GoogleTest's Notification uses; our tests
// start no threads through GoogleTest, so a plain flag does.
#ifndef MORVEL_GTEST_CUSTOM_PORT_H_
#define MORVEL_GTEST_CUSTOM_PORT_H_

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { notified_ = true; }
    void WaitForNotification()
    {
        while (!notified_) {
        }
    }

private:
    std::atomic<bool> notified_{false};
};

} // namespace internal
} // namespace testing

#endif
