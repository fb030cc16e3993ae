#include "term/term_reporter.h"

namespace {

constexpr char kSays[] = " Says>\n";
constexpr size_t kSaysSize = sizeof kSays - 1;

// Columns taken by UTF-8 text, counting each character as one.
size_t Columns(const std::string& text) {
  size_t columns = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++columns;
  }
  return columns;
}

}  // namespace

std::string FormatConversation(const std::string& text) {
  const size_t says = text.find(kSays);
  const bool message = says != std::string::npos && text.rfind('\n', says) == std::string::npos &&
                       text.size() >= says + kSaysSize + 2 &&
                       text.compare(text.size() - 2, 2, "\n\n") == 0;
  if (!message) return SanitizeForTerminal(text);
  const std::string name = SanitizeForTerminal(text.substr(0, says));
  const std::string body =
      SanitizeForTerminal(text.substr(says + kSaysSize, text.size() - 2 - says - kSaysSize));
  const std::string head = name + " Says>";
  if (body.empty()) return head + "\n";
  const std::string indent(Columns(head) + 1, ' ');
  std::string shown = head + " ";
  for (char c : body) {
    shown += c;
    if (c == '\n') shown += indent;
  }
  return shown + "\n";
}

std::string SanitizeForTerminal(const std::string& text) {
  std::string clean;
  clean.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (c == '\r' && next == '\n') continue;
    if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      clean += '?';
      ++i;
    } else if (c == 0x7F) {
      clean += "^?";
    } else if (c < 0x20 && c != '\n' && c != '\t') {
      clean += '^';
      clean += static_cast<char>(c + 0x40);
    } else {
      clean += static_cast<char>(c);
    }
  }
  return clean;
}

void TermReporter::ConversationLine(const std::string& text) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    transcript_ += text;
  }
  output_.Write(TermOutput::Stream::kConversation, FormatConversation(text));
}

void TermReporter::EventLine(const std::string& text) {
  std::string line = SanitizeForTerminal(text);
  if (line.empty() || line.back() != '\n') line += '\n';
  output_.Write(TermOutput::Stream::kNotice, line);
}

// The desktop program's status bar repeats what the conversation says.
void TermReporter::StatusText(const std::string&) {}

void TermReporter::ProgramMessage(const std::string& first, const std::string& second,
                                  const std::string& third) {
  std::string text = first + second + third;
  // The boxes pad their pieces with blanks.
  while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) text.pop_back();
  output_.Write(TermOutput::Stream::kNotice, SanitizeForTerminal(text) + "\n");
}

void TermReporter::PlayActivitySound() { output_.Bell(); }

std::string TermReporter::Transcript() const {
  std::lock_guard<std::mutex> guard(lock_);
  return transcript_;
}
