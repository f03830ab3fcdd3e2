// GoogleTest's customisation point, for the 32-bit Windows build. Its thread runtime has no
// std::mutex or std::condition_variable, on which GoogleTest's own Notification is built; this
// one waits on a Windows event instead. Everything else in GoogleTest already uses Windows' own
// locks on this platform.
#ifndef QUORVANEX_TESTS_WIN32_GTEST_PORT_H_
#define QUORVANEX_TESTS_WIN32_GTEST_PORT_H_

#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
  public:
    Notification() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

  private:
    HANDLE event_;
};

}  // namespace testing::internal

#endif  // QUORVANEX_TESTS_WIN32_GTEST_PORT_H_
