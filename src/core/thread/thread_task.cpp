#include "core/thread/thread_task.h"

#include "core/thread/commit_scope.h"
#include "core/thread/thread.h"

void ThreadTask::OnExit(Thread*) {}
void ThreadTask::OnCancel(Thread*) {}

Thread* ThreadTask::StartThread(ThreadType type, unsigned stack_size) {
  return manager_.StartThread(this, type, stack_size);
}

int ThreadTask::JoinThread(Thread* thread) {
  return thread == nullptr ? 1 : manager_.JoinThread(thread);
}

int ThreadTask::CancelThread(Thread* thread) {
  return thread == nullptr ? 1 : manager_.CancelThread(thread);
}

int ThreadTask::DestroyThread(Thread* thread, bool cancel_first) {
  return thread == nullptr ? 1 : manager_.DestroyThread(thread, cancel_first);
}

bool ThreadTask::Commit(Thread* thread, const std::function<void()>& step) {
  CommitScope commit(thread);
  if (!commit.Open()) return false;
  step();
  return true;
}
