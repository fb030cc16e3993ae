#include "term/connection_target.h"

#include "core/books/book_sequences.h"
#include "term/address_text.h"

std::optional<ConnectionTarget> ResolveConnectionTarget(IndexedDatabase* book,
                                                        const std::string& text,
                                                        std::optional<int> key, int default_port,
                                                        int default_key) {
  ConnectionTarget target;
  ConnectionValues stored;
  if (book != nullptr && BookLookUpConnection(book, text, &stored)) {
    target = {stored.nickname, stored.address, stored.port, stored.key};
  } else {
    HostAndPort parsed;
    if (!ParseHostAndPort(text, &parsed)) return std::nullopt;
    target = {text, parsed.host, parsed.port.value_or(default_port), default_key};
  }
  if (key) target.key = *key;
  // The engine uses the low 16 bits, as the Connect panel does.
  target.key &= 0xFFFF;
  return target;
}

bool RecordConnectionTarget(IndexedDatabase* book, const ConnectionTarget& target) {
  return BookStoreConnection(book, ConnectionValues{target.nickname, target.address, target.port,
                                                    target.key}) != StoreResult::kFailed;
}
