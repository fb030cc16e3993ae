#ifndef QUILLO_TERM_CONNECTION_TARGET_H
#define QUILLO_TERM_CONNECTION_TARGET_H

#include <optional>
#include <string>

class IndexedDatabase;

// Where a connect command calls, and the name the previous-connections
// book keeps it under.
struct ConnectionTarget {
  std::string nickname;
  std::string address;
  int port = 0;
  int key = 0;
};

// The target of "/connect TEXT [KEY]": a nickname stored in book gives its
// address, port and key; otherwise TEXT is ADDRESS[:PORT] and is kept
// under TEXT itself, with default_port when no port is given. A key given
// (key) replaces the stored or default one. Empty when TEXT is neither.
// book may be null (no book could be opened).
std::optional<ConnectionTarget> ResolveConnectionTarget(IndexedDatabase* book,
                                                        const std::string& text,
                                                        std::optional<int> key, int default_port,
                                                        int default_key);

// Stores the target in the book as the desktop program's Connect panel
// does on every Connect; false when it could not be stored.
bool RecordConnectionTarget(IndexedDatabase* book, const ConnectionTarget& target);

#endif  // QUILLO_TERM_CONNECTION_TARGET_H
