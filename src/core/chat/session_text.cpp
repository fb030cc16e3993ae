#include "core/chat/session_text.h"

std::string SessionText::Get() const {
  std::lock_guard<std::mutex> guard(lock_);
  return text_;
}

void SessionText::Set(const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  text_ = text;
}

std::string SessionText::SetIfEmpty(const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  if (text_.empty()) text_ = text;
  return text_;
}
