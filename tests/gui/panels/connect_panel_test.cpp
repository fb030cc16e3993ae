// The Connect panel under Xvfb: the field checks, a connection to a closed
// port and Cancel while a silent host keeps it waiting, and the
// previous-connections book behind the list.
#include "gui/panels/connect_panel.h"

#include <sys/resource.h>

#include "gui/frame/gui_text.h"
#include "gui/panels/panel_test_support.h"

namespace {

using testing::ElementsAre;

double ProcessCpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
         usage.ru_stime.tv_usec / 1e6;
}

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
  // Connects to a closed port (storing the connection first) and closes
  // the failed attempt's event window.
  void Store(const std::string& nickname, const std::string& address, int key) {
    Fill(nickname, address, std::to_string(closed), std::to_string(key));
    Connect();
    Click(events, EventWindow::kCancelId);
  }
  std::vector<std::string> Listed() {
    panel->FillPreviousConnections();
    return Lines(panel->PreviousConnections());
  }

  ConnectPanel* panel;
  int closed = FreePort();
};

TEST_F(ConnectPanelTest, BlankFieldsAreRefusedAndAFailedConnectionKeepsItsLines) {
  panel->FillPreviousConnections();
  PumpEvents();
  EXPECT_TRUE(panel->IsShown());
  EXPECT_TRUE(panel->PreviousConnections()->IsEmpty());  // no book
  std::string message;
  Fill("   ", "127.0.0.1", "4000");
  wxTEST_DIALOG(Connect(), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("You must enter a nickname for this connection\n  ", message);
  Fill("home", " \t", "4000");
  wxTEST_DIALOG(Connect(), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("You must enter an Internet Address for this connection\n  ", message);
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
  Click(panel, ConnectPanel::kCloseId);
  EXPECT_FALSE(panel->IsShown());
}

TEST_F(ConnectPanelTest, CancelWhileConnectingStopsTheThreadAndTheWaitCostsNoProcessor) {
  SilentHost host;
  Fill("silent", "127.0.0.1", std::to_string(host.Port()));
  After(1500, [this] { Click(events, EventWindow::kCancelId); });
  const double cpu_before = ProcessCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  Connect();
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = ProcessCpuSeconds() - cpu_before;
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

// Connections are stored by connecting to a closed loopback port (the
// store comes first).
class ConnectBookTest : public ConnectPanelTest {
 protected:
  void SetUp() override { OpenBooks(); }
};

TEST_F(ConnectBookTest, ConnectingStoresTheConnectionSelectingFillsRemoveDeletes) {
  Store("zed", "127.0.0.1", 1111);
  Store("  Amy ", "127.0.0.1", 2222);
  Store("amy", "[::1]", 70000);  // the same nickname: one entry, new address
  EXPECT_THAT(Listed(), ElementsAre("Amy", "zed"));
  Fill("", "", "", "");
  SelectLine(panel->PreviousConnections(), 0);
  EXPECT_EQ("Amy", Text(panel->NicknameField()));
  EXPECT_EQ("[::1]", Text(panel->AddressField()));
  EXPECT_EQ(std::to_string(closed), Text(panel->PortField()));
  EXPECT_EQ("70000", Text(panel->KeyField()));  // the whole key, not its low 16 bits
  Click(panel, ConnectPanel::kRemoveId);
  EXPECT_THAT(Lines(panel->PreviousConnections()), ElementsAre("zed"));
  panel->PreviousConnections()->SetSelection(wxNOT_FOUND);
  Click(panel, ConnectPanel::kRemoveId);  // nothing selected: nothing removed
  EXPECT_THAT(Listed(), ElementsAre("zed"));
}

TEST_F(ConnectBookTest, AnUnreadableRecordLeavesTheFieldsAloneAndIsNamedInTheEventWindow) {
  Store("Home", "127.0.0.1", 1111);
  Store("Work", "127.0.0.1", 2222);
  EXPECT_THAT(Listed(), ElementsAre("Home", "Work"));
  Fill("typed", "10.0.0.1", "5000", "6000");
  // Home's record: the first block after the fresh file's 65065 bytes.
  DamageConnectionsData(65065, 600);
  SelectLine(panel->PreviousConnections(), 0);
  EXPECT_EQ("typed", Text(panel->NicknameField()));
  EXPECT_EQ("5000", Text(panel->PortField()));
  events->Reset();
  EXPECT_THAT(Listed(), ElementsAre("Work"));
  EXPECT_TRUE(events->IsShown());
  EXPECT_THAT(EventText(), testing::HasSubstr("\"Home\" of the address book prevconn.ihd"));
}

}  // namespace
