#ifndef QUILLO_CORE_SETTINGS_SETTINGS_PARTS_H
#define QUILLO_CORE_SETTINGS_SETTINGS_PARTS_H

#include <string>

#include "core/chat/session.h"
#include "core/net/send_mail_task.h"

class ProgramSettings;
class Reporter;

// The one place that hands parts of ProgramSettings down to the engines:
// the chat session, the mailer and the address books take these copies and
// never see ProgramSettings itself. Everything here runs on the
// application's thread.

// What a new chat session uses: screen name, greeting, key, port, the audio
// switch and file, the private-session mode (Off when the crypto library
// failed at start-up) and passphrase, copied now; later Config edits wait for the next session
// (except the audio switch, see ChatSession::SetAudioEnabled).
SessionSnapshot SessionSnapshotOf(const ProgramSettings& settings);

// The invitation mail as the settings describe it now.
MailJob MailJobOf(const ProgramSettings& settings);

// Start-up: opens both address books quietly and keeps the handles in
// settings.
void OpenAddressBooks(ProgramSettings& settings, Reporter* reporter);

// Whether Host and Connect must prompt for a screen name first (the name is
// still exactly the built-in "Quillo").
bool ScreenNameIsDefault(const ProgramSettings& settings);

// Takes the answer of the screen-name prompt: ScreenName := its first 24
// bytes; for the Host command also GreetingText := "Welcome to the " +
// ScreenName + " chat session". Writing the settings file stays with the
// caller.
void AcceptScreenName(ProgramSettings& settings, const std::string& entry, bool for_host);

#endif  // QUILLO_CORE_SETTINGS_SETTINGS_PARTS_H
