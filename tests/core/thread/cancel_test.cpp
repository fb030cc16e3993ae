// Cooperative cancellation: workers blocked on sockets wake at once, and a
// cancelled task delivers nothing more.
#include <dirent.h>
#include <gtest/gtest.h>
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

int OpenDescriptorCount() {
  int count = 0;
  DIR* directory = opendir("/proc/self/fd");
  while (readdir(directory) != nullptr) ++count;
  closedir(directory);
  return count;
}

// A listener on a free loopback port with a connected client.
class LoopbackPair {
 public:
  LoopbackPair() {
    EXPECT_GE(listener.InitSocket(1, 0, "127.0.0.1"), 0);
    EXPECT_EQ(0, listener.Bind());
    EXPECT_EQ(0, listener.Listen(8));
    port = qtest::LocalPort(listener.MainHandle());
  }
  // Connects a new client and accepts it; returns the accepted handle.
  SocketHandle Connect(Socket* client) {
    EXPECT_GE(client->InitSocket(1, port, "127.0.0.1"), 0);
    EXPECT_EQ(0, client->Connect());
    EXPECT_GE(listener.Accept(), 0);
    return listener.TakeRemote();
  }

  Socket listener;
  int port = 0;
};

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
  std::atomic<int> received{0};
  std::atomic<int> exits{0};

 private:
  Reporter& reporter_;
  SocketHandle handle_;
  Socket socket_;
};

// A receiver started on a connected pair.
class ReceiverTest : public ::testing::Test {
 protected:
  ~ReceiverTest() override { close(accepted_); }
  RecordingReporter reporter_;
  LoopbackPair pair_;
  Socket client_;
  SocketHandle accepted_ = pair_.Connect(&client_);
  ReceiverTask task_{reporter_, accepted_};
  Thread* thread_ = task_.StartThread(ThreadType::JOINABLE);
};

TEST_F(ReceiverTest, TaskBlockedInRecvWakesWithin100MsAndDeliversNothing) {
  ASSERT_EQ(8, client_.SendAll("message1", 8));
  ASSERT_TRUE(WaitUntil([&] { return task_.received == 1; }));
  std::this_thread::sleep_for(milliseconds(20));  // blocked in recv again

  const auto begin = steady_clock::now();
  EXPECT_EQ(0, task_.CancelThread(thread_));
  ASSERT_TRUE(WaitUntil([&] { return task_.returned.load(); }, milliseconds(1000)));
  EXPECT_LT(steady_clock::now() - begin, milliseconds(100));

  client_.SendAll("message2", 8);  // nobody reads it
  EXPECT_EQ(0, task_.DestroyThread(thread_, true));
  EXPECT_EQ(std::vector<std::string>{"conversation:message1"}, reporter_.Lines());
  EXPECT_EQ(1, task_.received.load());
  EXPECT_EQ(0, task_.exits.load());
}

TEST_F(ReceiverTest, UncancelledReceiverReportsThePeerClosing) {
  client_.CloseAll();
  EXPECT_EQ(0, task_.JoinThread(thread_));
  EXPECT_EQ(-1, thread_->ExitValue());
  EXPECT_EQ(0, task_.DestroyThread(thread_, true));
  EXPECT_EQ(std::vector<std::string>{"Socket exception: Receive error\n"}, reporter_.Lines());
  EXPECT_EQ(1, task_.exits.load());
}

// Accepts callers until accepting fails, like a server.
class AcceptorTask : public ThreadTask {
 public:
  AcceptorTask(Reporter& reporter, Socket& listener) : reporter_(reporter), listener_(listener) {}

  int Run(Thread* thread) override {
    GatedReporter report(reporter_, thread);
    for (;;) {
      ++attempts;
      if (listener_.Accept() < 0) {
        report.EventLine(std::string(listener_.ErrorText()) + "\n");
        returned = true;
        return -1;
      }
      listener_.CloseRemote();
      report.EventLine("caller\n");
    }
  }
  void OnCancel(Thread*) override { listener_.Shutdown(); }

  std::atomic<bool> returned{false};
  std::atomic<int> attempts{0};

 private:
  Reporter& reporter_;
  Socket& listener_;
};

TEST(CancelTest, TaskBlockedInAcceptWakesWithin100MsAndDeliversNothing) {
  RecordingReporter reporter;
  LoopbackPair pair;
  AcceptorTask task(reporter, pair.listener);
  Thread* thread = task.StartThread(ThreadType::JOINABLE);
  Socket caller;
  ASSERT_GE(caller.InitSocket(1, pair.port, "127.0.0.1"), 0);
  ASSERT_EQ(0, caller.Connect());
  ASSERT_TRUE(WaitUntil([&] { return reporter.Lines().size() == 1; }));
  std::this_thread::sleep_for(milliseconds(20));

  const auto begin = steady_clock::now();
  EXPECT_EQ(0, task.CancelThread(thread));
  ASSERT_TRUE(WaitUntil([&] { return task.returned.load(); }, milliseconds(1000)));
  EXPECT_LT(steady_clock::now() - begin, milliseconds(100));
  EXPECT_EQ(0, task.DestroyThread(thread, true));
  EXPECT_EQ(std::vector<std::string>{"caller\n"}, reporter.Lines());
  EXPECT_EQ(2, task.attempts.load());  // no busy retry on the closed listener
  // The listener stays shut: a later accept fails at once instead of blocking.
  EXPECT_LT(pair.listener.Accept(), 0);
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

TEST(CancelTest, NoCommitStepRunsOrIsHalfDoneAfterCancel) {
  CommitterTask task;
  Thread* thread = task.StartThread(ThreadType::JOINABLE);
  ASSERT_TRUE(WaitUntil([&] { return task.second >= 3; }));
  EXPECT_EQ(0, task.CancelThread(thread));
  const int first = task.first;
  EXPECT_EQ(first, task.second.load());
  std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(first, task.first.load());
  EXPECT_EQ(0, task.DestroyThread(thread, true));
}

TEST(CancelTest, ScopesAndReportersWithoutThreadAreOpen) {
  RecordingReporter reporter;
  reporter.SetMinimised(true);
  GatedReporter report(reporter, nullptr);
  report.EventLine("a");
  report.StatusText("b");
  report.PlayActivitySound();
  EXPECT_TRUE(report.MainFrameMinimised());
  CommitScope commit(nullptr);
  EXPECT_TRUE(commit.Open());
  EXPECT_EQ((std::vector<std::string>{"a", "status:b", "sound"}), reporter.Lines());
}

// Reports from a cancelled thread: only the minimised query gets through,
// and it answers false.
class LateReporterTask : public ThreadTask {
 public:
  explicit LateReporterTask(Reporter& reporter) : reporter_(reporter) {}
  int Run(Thread* thread) override {
    started = true;
    while (!thread->IsCanceled()) std::this_thread::sleep_for(milliseconds(1));
    GatedReporter report(reporter_, thread);
    report.ConversationLine("c");
    report.EventLine("e");
    report.StatusText("s");
    report.ProgramMessage("p", " ", " ");
    report.PlayActivitySound();
    minimised = report.MainFrameMinimised();
    done = true;
    return 0;
  }
  std::atomic<bool> started{false};
  std::atomic<bool> minimised{true};
  std::atomic<bool> done{false};

 private:
  Reporter& reporter_;
};

TEST(CancelTest, GatedReporterDropsEverythingAfterCancel) {
  RecordingReporter reporter;
  reporter.SetMinimised(true);  // the gate, not the target, must answer false
  LateReporterTask task(reporter);
  Thread* thread = task.StartThread(ThreadType::JOINABLE);
  ASSERT_TRUE(WaitUntil([&] { return task.started.load(); }));
  EXPECT_EQ(0, task.CancelThread(thread));
  ASSERT_TRUE(WaitUntil([&] { return task.done.load(); }));
  EXPECT_EQ(0, task.DestroyThread(thread, true));
  EXPECT_TRUE(reporter.Lines().empty());
  EXPECT_FALSE(task.minimised.load());
}

TEST(CancelTest, StartAndCancelATalkerAThousandTimes) {
  RecordingReporter reporter;
  LoopbackPair pair;
  const int descriptors = OpenDescriptorCount();
  for (int round = 0; round < 1000; ++round) {
    Socket client;
    SocketHandle accepted = pair.Connect(&client);
    ReceiverTask task(reporter, accepted);
    Thread* thread = task.StartThread(ThreadType::JOINABLE);
    ASSERT_EQ(THREAD_NO_ERROR, thread->ErrorCode());
    if (round % 2 == 0) {
      // Half the rounds cancel a thread that is blocked, half one that may
      // not have started yet.
      ASSERT_EQ(8, client.SendAll("roundmsg", 8));
      ASSERT_TRUE(WaitUntil([&] { return task.received == 1; }));
    }
    ASSERT_EQ(0, task.DestroyThread(thread, true));
    ASSERT_EQ(0, task.exits.load());
    close(accepted);
  }
  EXPECT_EQ(descriptors, OpenDescriptorCount());
  const std::vector<std::string> lines = reporter.Lines();
  EXPECT_EQ(500u, lines.size());
  for (const std::string& line : lines) ASSERT_EQ("conversation:roundmsg", line);
}

}  // namespace
