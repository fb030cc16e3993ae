#include "app/session_commands.h"

#include "ui/program_settings.h"

bool SessionRunning(const ProgramSettings&) { return false; }

bool ServerThreadExists(const ProgramSettings&) { return false; }

bool TalkerThreadExists(const ProgramSettings&) { return false; }

void StopWorkerThreads(ProgramSettings&) {}
