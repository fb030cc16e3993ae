#ifndef QUILLO_TERM_SELF_PIPE_H
#define QUILLO_TERM_SELF_PIPE_H

// A pipe the program writes to itself so that a poll() on the main thread
// wakes: worker threads and signal handlers only write a byte, and the
// main thread does the work. Both ends are non-blocking and close on exec;
// Notify is async-signal-safe and never blocks (a full pipe already wakes).
class SelfPipe {
 public:
  SelfPipe();
  ~SelfPipe();
  SelfPipe(const SelfPipe&) = delete;
  SelfPipe& operator=(const SelfPipe&) = delete;

  bool Valid() const { return read_fd_ >= 0; }
  int ReadFd() const { return read_fd_; }
  void Notify(unsigned char byte = 0) const;
  // Reads everything written so far; calls each(byte) for every byte.
  template <typename Each>
  void Drain(Each each) const {
    unsigned char buffer[64];
    for (;;) {
      const long n = ReadSome(buffer, sizeof buffer);
      if (n <= 0) return;
      for (long i = 0; i < n; ++i) each(buffer[i]);
    }
  }

 private:
  long ReadSome(unsigned char* buffer, unsigned long size) const;

  int read_fd_ = -1;
  int write_fd_ = -1;
};

#endif  // QUILLO_TERM_SELF_PIPE_H
