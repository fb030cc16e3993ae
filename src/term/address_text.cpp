#include "term/address_text.h"

namespace {

std::optional<long> ParseDecimal(const std::string& text, long max) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > max) return std::nullopt;
  return value;
}

}  // namespace

std::optional<int> ParsePort(const std::string& text) {
  const std::optional<long> value = ParseDecimal(text, 65535);
  if (!value || *value == 0) return std::nullopt;
  return static_cast<int>(*value);
}

std::optional<int> ParseKey(const std::string& text) {
  const std::optional<long> value = ParseDecimal(text, 65535);
  if (!value) return std::nullopt;
  return static_cast<int>(*value);
}

bool ParseHostAndPort(const std::string& text, HostAndPort* out) {
  std::string host = text;
  std::string port;
  bool has_port = false;
  if (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) return false;
    host = text.substr(1, close - 1);
    const std::string rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest[0] != ':') return false;
      port = rest.substr(1);
      has_port = true;
    }
  } else {
    const size_t colon = text.rfind(':');
    // More than one colon without brackets is a bare IPv6 address.
    if (colon != std::string::npos && text.find(':') == colon) {
      host = text.substr(0, colon);
      port = text.substr(colon + 1);
      has_port = true;
    }
  }
  if (host.empty()) return false;
  out->host = host;
  out->port.reset();
  if (has_port) {
    out->port = ParsePort(port);
    if (!out->port) return false;
  }
  return true;
}
