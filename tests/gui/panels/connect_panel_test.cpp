// The Connect panel under Xvfb: the field checks, a connection to a closed
// port and Cancel while a silent host keeps it waiting.
#include "gui/panels/connect_panel.h"

#include <wx/listbox.h>

#include <ctime>

#include "gui/frame/gui_text.h"
#include "gui/panels/panel_test_support.h"

namespace {

class ConnectPanelTest : public PanelTest {
 protected:
  ConnectPanelTest() : panel(new ConnectPanel(nullptr, *settings, *session, *events, *reporter)) {
    windows.push_back(panel);
  }
  void Fill(const std::string& nickname, const std::string& address, const std::string& port,
            const std::string& key = "52917") {
    panel->NicknameField()->ChangeValue(GuiText(nickname));
    panel->AddressField()->ChangeValue(GuiText(address));
    panel->PortField()->ChangeValue(GuiText(port));
    panel->KeyField()->ChangeValue(GuiText(key));
  }
  void Connect() { Click(panel, ConnectPanel::kConnectId); }
  ConnectPanel* panel;
  int closed = FreePort();
};

TEST_F(ConnectPanelTest, BlankFieldsAreRefusedAndAFailedConnectionKeepsItsLines) {
  panel->FillPreviousConnections();
  PumpEvents();
  EXPECT_TRUE(panel->PreviousConnections()->IsEmpty());  // no book
  std::string message;
  for (const auto& [nickname, address] : {std::pair{"   ", "127.0.0.1"}, {"home", " \t"}}) {
    Fill(nickname, address, "4000");
    wxTEST_DIALOG(Connect(), ExpectMessage(wxID_OK, &message));
    EXPECT_EQ(0u, message.find("You must enter a")) << message;
  }
  EXPECT_FALSE(events->IsShown());
  EXPECT_EQ(59152, settings->QuilloPortNumber);

  Fill("  home  ", "  127.0.0.1  ", " " + std::to_string(closed) + " ", " 70000 ");
  Connect();
  EXPECT_FALSE(panel->IsShown());
  EXPECT_TRUE(events->IsShown());
  EXPECT_FALSE(events->Running());
  EXPECT_EQ(closed, settings->QuilloPortNumber);
  EXPECT_EQ(70000 & 0xFFFF, settings->EncryptionKey);
  EXPECT_EQ(
      "Connecting to host 127.0.0.1\nCould not connect to the Quillo line \nThe Quillo server "
      "is not online\nThe Quillo client was not connected\n",
      EventText());
  Click(events, EventWindow::kCancelId);  // idle: closes
  EXPECT_FALSE(events->IsShown());
}

TEST_F(ConnectPanelTest, CancelWhileConnectingStopsTheThreadAndTheWaitCostsNoProcessor) {
  SilentHost host;
  Fill("silent", "127.0.0.1", std::to_string(host.Port()));
  After(1500, [this] { Click(events, EventWindow::kCancelId); });
  const std::clock_t cpu_before = std::clock();  // all of the process's threads
  const auto start = std::chrono::steady_clock::now();
  Connect();
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = double(std::clock() - cpu_before) / CLOCKS_PER_SEC;
  EXPECT_GE(wall, 1.4);
  EXPECT_LT(cpu / wall, 0.1) << cpu << " s of processor time in " << wall << " s";
  EXPECT_TRUE(events->IsShown());
  EXPECT_FALSE(events->Running());
  EXPECT_EQ(
      "Connecting to host 127.0.0.1\nStopping connect thread\nThe current request was "
      "canceled\nThe Quillo client was not connected\n",
      EventText());
  EXPECT_EQ(SessionState::kIdle, session->State());
}

}  // namespace
