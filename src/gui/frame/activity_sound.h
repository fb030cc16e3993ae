#ifndef QUILLO_GUI_FRAME_ACTIVITY_SOUND_H
#define QUILLO_GUI_FRAME_ACTIVITY_SOUND_H

#include <string>

// Plays a WAV file on an audio device of its own and returns when the sound
// has finished. The file text may carry a double quote at each end (the
// AudioFile setting does). A missing or unreadable file, or no audio device,
// returns at once and silently. Callable from any thread; overlapping calls
// each open their own device, so neither cuts the other off. Callers check
// EnableAudio first.
void PlayActivitySound(const std::string& file_text);

#endif  // QUILLO_GUI_FRAME_ACTIVITY_SOUND_H
