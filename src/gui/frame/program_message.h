#ifndef QUILLO_GUI_FRAME_PROGRAM_MESSAGE_H
#define QUILLO_GUI_FRAME_PROGRAM_MESSAGE_H

#include <string>

// The modal "Program Message" box: exclamation icon, OK button, centred, no
// parent; the three pieces are shown joined (callers pass " " for unused
// pieces). GUI thread only.
void ShowProgramMessage(const std::string& first, const std::string& second = "",
                        const std::string& third = "");

// The Yes/No question with the same caption and the question icon. Returns
// true for Yes.
bool AskProgramQuestion(const std::string& question);

#endif  // QUILLO_GUI_FRAME_PROGRAM_MESSAGE_H
