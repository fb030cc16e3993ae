// The event window and the program's text conversion.
#include "gui/panels/event_window.h"

#include <wx/textctrl.h>

#include "gui/frame/gui_text.h"
#include "gui/support/gui_test_main.h"

namespace {

// While running, Cancel and the close box count a request and keep the
// window and its lines; while idle they clear the lines and hide it.
TEST(EventWindowTest, CancelAndTheCloseBoxCountWhileRunningAndHideWhenIdle) {
  auto* window = new EventWindow(nullptr);
  auto lines = [window] { return ProgramText(window->MessageBox()->GetValue()); };
  window->Show();
  window->AppendLine("Connecting to mail server mail.example.org");
  window->AppendText("Socket exception\n");
  window->SetRunning(true);
  Click(window, EventWindow::kCancelId);
  window->Close();  // a close request the window may refuse
  EXPECT_EQ(2, window->CancelCount());
  EXPECT_TRUE(window->IsShown());
  EXPECT_EQ("Connecting to mail server mail.example.org\nSocket exception\n", lines());
  window->SetRunning(false);
  window->Close();
  EXPECT_FALSE(window->IsShown());
  EXPECT_EQ("", lines());
  EXPECT_EQ(0, window->CancelCount());
  window->Show();
  window->AppendLine("Could not connect");
  Click(window, EventWindow::kCancelId);
  EXPECT_FALSE(window->IsShown());
  EXPECT_EQ("", lines());
  window->Destroy();
}

TEST(GuiTextTest, ValidUtf8StaysAndOtherBytesShowAsLatin1) {
  EXPECT_EQ(wxString(L"Gr\u00fc\u00dfe \u20ac \U0001F600"),
            GuiText("Gr\xc3\xbc\xc3\x9f"
                    "e \xe2\x82\xac \xf0\x9f\x98\x80"));
  // A lone high byte, a cut sequence, an overlong form, a surrogate and a
  // code point past U+10FFFF each keep every byte.
  EXPECT_EQ(wxString(L"caf\u00e9!"), GuiText("caf\xe9!"));
  EXPECT_EQ(wxString(L"x\u00e2\u0082"), GuiText("x\xe2\x82"));
  EXPECT_EQ(wxString(L"\u00c0\u00af"), GuiText("\xc0\xaf"));
  EXPECT_EQ(wxString(L"\u00ed\u00a0\u0080"), GuiText("\xed\xa0\x80"));
  EXPECT_EQ(wxString(L"\u00f4\u0090\u0080\u0080"), GuiText("\xf4\x90\x80\x80"));
  EXPECT_EQ(std::string("a\0b", 3), ProgramText(GuiText(std::string("a\0b", 3))));
}

}  // namespace
