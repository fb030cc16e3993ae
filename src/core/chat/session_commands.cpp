#include "core/chat/session_commands.h"

#include "core/chat/chat_engine.h"
#include "core/settings/program_settings.h"
#include "core/thread/thread.h"
#include "core/thread/thread_manager.h"

bool SessionRunning(const ProgramSettings& settings) {
  return settings.Hosting != 0 || settings.LineBusy != 0;
}

bool ServerThreadExists(const ProgramSettings& settings) {
  return settings.ServerThread != nullptr;
}

bool TalkerThreadExists(const ProgramSettings& settings) {
  return settings.TalkerThread.load() != nullptr;
}

void StopWorkerThreads(ProgramSettings& settings) {
  settings.TalkerRunning = 0;
  StopChatWorkers(settings);
  if (Thread* mail = settings.SendMailThread) {
    ThreadManager manager;
    if (mail->State() != ThreadState::EXITED) manager.CancelThread(mail);
    manager.DestroyThread(mail, false);
    settings.SendMailThread = nullptr;
  }
}
