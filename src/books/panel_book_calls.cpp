#include "books/panel_book_calls.h"

#include "ui/program_settings.h"

bool ListConnections(ProgramSettings&, std::vector<std::string>*) { return true; }

bool LookUpConnection(ProgramSettings&, const std::string&, StoredConnection*) { return false; }

void AddOrUpdateConnection(ProgramSettings&, const std::string&, const std::string&, int32_t,
                           int32_t) {}

bool RemoveConnection(ProgramSettings&, const std::string&) { return false; }

std::vector<StoredRecipient> ListRecipients(ProgramSettings&) { return {}; }

bool AddOrUpdateRecipient(ProgramSettings&, const std::string&, const std::string&) {
  return false;
}

bool RemoveRecipient(ProgramSettings&, const std::string&, const std::string&) { return false; }
