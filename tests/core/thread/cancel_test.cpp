// Cooperative cancellation: a worker blocked on a socket wakes at once, and a
// cancelled task delivers nothing more.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/chat/recording_reporter.h"
#include "core/net/socket.h"
#include "core/thread/commit_scope.h"
#include "core/thread/gated_reporter.h"
#include "core/thread/thread.h"
#include "core/thread/thread_task.h"
#include "support/test_support.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

using qtest::WaitUntil;

// Receives 8-byte messages and shows them, like a talker.
class ReceiverTask : public ThreadTask {
 public:
  ReceiverTask(Reporter& reporter, SocketHandle handle) : reporter_(reporter), handle_(handle) {}

  int Run(Thread* thread) override {
    GatedReporter report(reporter_, thread);
    char message[8];
    for (;;) {
      if (socket_.RecvAll(handle_, message, sizeof message) < 0) {
        report.EventLine(std::string(socket_.ErrorText()) + "\n");
        returned = true;
        return -1;
      }
      report.ConversationLine(std::string(message, sizeof message));
      ThreadTask::Commit(thread, [this] { ++received; });
    }
  }
  void OnExit(Thread*) override { ++exits; }
  void OnCancel(Thread*) override { Socket::ShutdownHandle(handle_); }

  std::atomic<bool> returned{false};
  std::atomic<int> received{0}, exits{0};

 private:
  Reporter& reporter_;
  SocketHandle handle_;
  Socket socket_;
};

TEST(CancelTest, TaskBlockedInRecvWakesWithin100MsAndDeliversNothing) {
  RecordingReporter reporter;
  int fds[2];
  ASSERT_EQ(0, socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds));
  ReceiverTask task(reporter, fds[0]);
  Thread* thread = task.StartThread(ThreadType::JOINABLE);
  ASSERT_EQ(send(fds[1], "message1", 8, MSG_NOSIGNAL), 8);
  ASSERT_TRUE(WaitUntil([&] { return task.received == 1; }));
  std::this_thread::sleep_for(milliseconds(20));  // blocked in recv again

  const auto begin = steady_clock::now();
  EXPECT_EQ(0, task.CancelThread(thread));
  ASSERT_TRUE(WaitUntil([&] { return task.returned.load(); }, milliseconds(1000)));
  EXPECT_LT(steady_clock::now() - begin, milliseconds(100));
  EXPECT_EQ(0, task.DestroyThread(thread, true));
  EXPECT_EQ(std::vector<std::string>{"conversation:message1"}, reporter.Lines());
  EXPECT_EQ(0, task.exits.load());
  close(fds[0]);
  close(fds[1]);
}

// Commits a two-part change over and over until it is cancelled.
class CommitterTask : public ThreadTask {
 public:
  int Run(Thread* thread) override {
    while (ThreadTask::Commit(thread, [this] {
      ++first;
      std::this_thread::sleep_for(milliseconds(1));
      ++second;
    })) {
    }
    return 0;
  }
  std::atomic<int> first{0};
  std::atomic<int> second{0};
};

// Every kind of report through the gate; returns what the minimised query
// answered and whether a commit step was allowed.
std::pair<bool, bool> ReportEverything(Reporter& target, Thread* thread) {
  GatedReporter report(target, thread);
  report.ConversationLine("c");
  report.EventLine("e");
  report.StatusText("s");
  report.ProgramMessage("p", " ", " ");
  report.ChatLineArrived("a", "b");
  report.PlayActivitySound();
  return {report.MainFrameMinimised(), CommitScope(thread).Open()};
}

// Without a thread everything passes; once the thread is cancelled nothing
// does (no commit step either, and none is left half done), and the
// minimised query answers false whatever the target says.
TEST(CancelTest, GatedReporterPassesWithoutThreadAndDropsEverythingAfterCancel) {
  RecordingReporter open;
  open.SetMinimised(true);
  EXPECT_EQ(std::make_pair(true, true), ReportEverything(open, nullptr));
  EXPECT_EQ((std::vector<std::string>{"conversation:c", "e", "status:s", "message:p  ", "sound"}),
            open.Lines());
  EXPECT_EQ("a:b\n", open.Arrivals());

  CommitterTask task;
  Thread* thread = task.StartThread(ThreadType::JOINABLE);
  ASSERT_TRUE(WaitUntil([&] { return task.second >= 3; }));
  EXPECT_EQ(0, task.CancelThread(thread));
  const int first = task.first;
  EXPECT_EQ(first, task.second.load());
  RecordingReporter closed;
  closed.SetMinimised(true);
  EXPECT_EQ(std::make_pair(false, false), ReportEverything(closed, thread));
  EXPECT_TRUE(closed.Lines().empty() && closed.Arrivals().empty());
  std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(first, task.first.load());
  EXPECT_EQ(0, task.DestroyThread(thread, true));
}

}  // namespace
