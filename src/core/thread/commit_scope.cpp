#include "core/thread/commit_scope.h"

#include "core/thread/thread.h"

CommitScope::CommitScope(Thread* thread) : thread_(thread), open_(true) {
  if (thread_ == nullptr) return;
  thread_->mutex_.Lock();
  open_ = !thread_->IsCanceled();
}

CommitScope::~CommitScope() {
  if (thread_ != nullptr) thread_->mutex_.Unlock();
}
