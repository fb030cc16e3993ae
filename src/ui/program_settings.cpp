#include "ui/program_settings.h"

#include <cstdlib>

ProgramSettings* TheProgramSettings = nullptr;

ProgramSettings::ProgramSettings() {
  const char* home = std::getenv("HOME");
  HomeDirectory = (home && *home) ? std::string(home) + "/quillo" : std::string(".");
}

ProgramSettings::~ProgramSettings() = default;
