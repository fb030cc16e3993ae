#ifndef QUILLO_CORE_THREAD_COMMIT_SCOPE_H
#define QUILLO_CORE_THREAD_COMMIT_SCOPE_H

class Thread;

// Holds a thread's commit lock for one commit step and tells whether the
// step may go ahead:
//
//   CommitScope commit(thread);
//   if (!commit.Open()) return 0;   // cancelled: deliver nothing
//   settings->LineBusy = 1;         // cannot race with CancelThread
//
// CancelThread takes the same lock to close the gate, so once it returns no
// step begins and none is half done. A null thread is always open. Keep the
// scope short and never wait in it for the thread that may cancel.
class CommitScope {
 public:
  explicit CommitScope(Thread* thread);
  ~CommitScope();
  CommitScope(const CommitScope&) = delete;
  CommitScope& operator=(const CommitScope&) = delete;

  bool Open() const { return open_; }

 private:
  Thread* thread_;
  bool open_;
};

#endif  // QUILLO_CORE_THREAD_COMMIT_SCOPE_H
