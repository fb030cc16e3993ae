#ifndef QUILLO_TERM_ADDRESS_TEXT_H
#define QUILLO_TERM_ADDRESS_TEXT_H

#include <optional>
#include <string>

// Numbers and addresses as a person types them on the command line or at
// the prompt. Every parser here accepts the whole text or nothing.

// A decimal port from 1 to 65535.
std::optional<int> ParsePort(const std::string& text);

// A decimal encryption key from 0 to 65535.
std::optional<int> ParseKey(const std::string& text);

// "HOST", "HOST:PORT", "[V6ADDRESS]" or "[V6ADDRESS]:PORT". port stays
// empty when none was given. False when the host is empty, a bracket is
// unclosed or the port is not a port.
struct HostAndPort {
  std::string host;
  std::optional<int> port;
};
bool ParseHostAndPort(const std::string& text, HostAndPort* out);

#endif  // QUILLO_TERM_ADDRESS_TEXT_H
