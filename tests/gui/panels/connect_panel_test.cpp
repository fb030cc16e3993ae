// The Connect panel under Xvfb: the field checks, OnConnect against a silent
// loopback host and a closed port with Cancel pressed while it waits, and the
// previous-connections book behind it.
#include "gui/panels/connect_panel.h"

#include <sys/resource.h>
#include <wx/msgdlg.h>

#include "gui/frame/gui_text.h"
#include "gui/panels/panel_test_support.h"

namespace {

double ProcessCpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
         usage.ru_stime.tv_usec / 1e6;
}

class ConnectPanelTest : public PanelTest {
 protected:
  ConnectPanelTest() {
    panel = new ConnectPanel(nullptr, *settings, *session, *events, *reporter);
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
  void PressCancelAfter(int milliseconds) {
    After(milliseconds, [this] { Click(events, EventWindow::kCancelId); });
  }

  ConnectPanel* panel;
};

TEST_F(ConnectPanelTest, CloseAndTheCloseBoxOnlyHideAndHelpShowsItsText) {
  panel->FillPreviousConnections();
  EXPECT_TRUE(panel->IsShown());
  Click(panel, ConnectPanel::kCloseId);
  EXPECT_FALSE(panel->IsShown());
  panel->FillPreviousConnections();
  panel->Close();
  EXPECT_FALSE(panel->IsShown());
  std::string message, caption;
  wxTEST_DIALOG(Click(panel, ConnectPanel::kHelpId), ExpectMessage(wxID_OK, &message, &caption));
  EXPECT_EQ(ConnectPanel::HelpText(), message);
  EXPECT_EQ("Message", caption);
}

TEST_F(ConnectPanelTest, AnEmptyOrBlankNicknameOrAddressIsRefused) {
  panel->FillPreviousConnections();
  std::string message;
  Fill("   ", "127.0.0.1", "4000");
  wxTEST_DIALOG(Connect(), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("You must enter a nickname for this connection\n  ", message);
  Fill("home", " \t", "4000");
  wxTEST_DIALOG(Connect(), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("You must enter an Internet Address for this connection\n  ", message);
  EXPECT_TRUE(panel->IsShown());
  EXPECT_FALSE(events->IsShown());
  EXPECT_EQ(59152, settings->QuilloPortNumber);
  EXPECT_EQ(SessionState::kIdle, session->State());
}

TEST_F(ConnectPanelTest, AFailedConnectionLeavesTheEventWindowOpenWithItsLines) {
  panel->FillPreviousConnections();
  PumpEvents();
  const int port = FreePort();
  Fill("  home  ", "  127.0.0.1  ", " " + std::to_string(port) + " ", " 70000 ");
  Connect();
  EXPECT_FALSE(panel->IsShown());
  EXPECT_TRUE(events->IsShown());
  EXPECT_FALSE(events->Running());
  EXPECT_EQ(0, events->Value());
  EXPECT_EQ(port, settings->QuilloPortNumber);
  EXPECT_EQ(70000 & 0xFFFF, settings->EncryptionKey);
  EXPECT_EQ(
      "Connecting to host 127.0.0.1\nCould not connect to the Quillo line \nThe Quillo server "
      "is not online\nThe Quillo client was not connected\n",
      EventText());
  // Cancel on an idle event window closes it.
  Click(events, EventWindow::kCancelId);
  EXPECT_FALSE(events->IsShown());
}

TEST_F(ConnectPanelTest, CancelWhileConnectingStopsTheThreadAndTheWaitCostsNoProcessor) {
  SilentHost host;
  Fill("silent", "127.0.0.1", std::to_string(host.Port()));
  PressCancelAfter(3000);
  const double cpu_before = ProcessCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  Connect();
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = ProcessCpuSeconds() - cpu_before;
  EXPECT_GE(wall, 2.9);
  EXPECT_LT(wall, 8.0);
  EXPECT_LT(cpu / wall, 0.05) << cpu << " s of processor time in " << wall << " s";
  EXPECT_TRUE(events->IsShown());
  EXPECT_FALSE(events->Running());
  EXPECT_EQ(0, events->Value());
  EXPECT_EQ(
      "Connecting to host 127.0.0.1\nStopping connect thread\nThe current request was "
      "canceled\nThe Quillo client was not connected\n",
      EventText());
  EXPECT_EQ(SessionState::kIdle, session->State());
  // The panel can connect again afterwards.
  Click(events, EventWindow::kCancelId);
  Fill("closed", "127.0.0.1", std::to_string(FreePort()));
  Connect();
  EXPECT_THAT(EventText(), testing::EndsWith("The Quillo client was not connected\n"));
}

// The previous-connections book behind the panel. Connections are stored
// by connecting to a closed loopback port (the store comes first).
class ConnectBookTest : public ConnectPanelTest {
 protected:
  void SetUp() override { OpenBooks(); }

  void Store(const std::string& nickname, const std::string& address, int port, int key) {
    Fill(nickname, address, std::to_string(port), std::to_string(key));
    Connect();
    Click(events, EventWindow::kCancelId);  // close the failed attempt's window
  }
  std::vector<std::string> Listed() {
    panel->FillPreviousConnections();
    return Lines(panel->PreviousConnections());
  }
  int closed = FreePort();
};

TEST_F(ConnectBookTest, ConnectingStoresTheConnectionAndSelectingItFillsTheFields) {
  Store("zed", "127.0.0.1", closed, 1111);
  Store("  Amy ", "127.0.0.1", closed, 2222);
  Store("amy", "localhost", closed, 70000);  // the same nickname: one entry, new address
  EXPECT_THAT(Listed(), testing::ElementsAre("Amy", "zed"));
  EXPECT_TRUE(panel->IsShown());
  Fill("", "", "", "");
  SelectLine(panel->PreviousConnections(), 0);
  EXPECT_EQ("Amy", Text(panel->NicknameField()));
  EXPECT_EQ("localhost", Text(panel->AddressField()));
  EXPECT_EQ(std::to_string(closed), Text(panel->PortField()));
  EXPECT_EQ("70000", Text(panel->KeyField()));  // the whole key, not its low 16 bits
}

TEST_F(ConnectBookTest, AnUnreadableRecordLeavesTheFieldsAloneAndIsNamedInTheEventWindow) {
  Store("Home", "127.0.0.1", closed, 1111);
  Store("Work", "127.0.0.1", closed, 2222);
  EXPECT_THAT(Listed(), testing::ElementsAre("Home", "Work"));
  Fill("typed", "10.0.0.1", "5000", "6000");
  // Home's record: the first block after the fresh file's 65065 bytes.
  DamageConnectionsData(65065, 600);
  SelectLine(panel->PreviousConnections(), 0);
  EXPECT_EQ("typed", Text(panel->NicknameField()));
  EXPECT_EQ("10.0.0.1", Text(panel->AddressField()));
  EXPECT_EQ("5000", Text(panel->PortField()));
  EXPECT_EQ("6000", Text(panel->KeyField()));
  panel->Hide();
  events->Reset();
  EXPECT_THAT(Listed(), testing::ElementsAre("Work"));
  EXPECT_TRUE(panel->IsShown());
  EXPECT_TRUE(events->IsShown());
  EXPECT_THAT(EventText(), testing::HasSubstr("\"Home\" of the address book prevconn.ihd"));
}

TEST_F(ConnectBookTest, RemoveDeletesTheSelectedEntryAndNothingWithoutASelection) {
  Store("Home", "127.0.0.1", closed, 1111);
  Store("Work", "127.0.0.1", closed, 2222);
  EXPECT_THAT(Listed(), testing::ElementsAre("Home", "Work"));
  Click(panel, ConnectPanel::kRemoveId);
  EXPECT_THAT(Lines(panel->PreviousConnections()), testing::ElementsAre("Home", "Work"));
  SelectLine(panel->PreviousConnections(), 0);
  Click(panel, ConnectPanel::kRemoveId);
  EXPECT_THAT(Lines(panel->PreviousConnections()), testing::ElementsAre("Work"));
  EXPECT_THAT(Listed(), testing::ElementsAre("Work"));
}

TEST_F(ConnectBookTest, IpV6AddressesAndNamesAreStoredAsTyped) {
  // ::ffff:127.0.0.1 written out in full (the 45-character worst case
  // cannot name a loopback address; the book test stores it).
  const std::string longest = "0000:0000:0000:0000:0000:ffff:127.0.0.1";
  Store("v6", "::1", closed, 1111);
  Store("long", longest, closed, 2222);
  Store("named", "localhost", closed, 3333);
  Store("bracketed", "[::1]", closed, 4444);
  EXPECT_THAT(Listed(), testing::ElementsAre("bracketed", "long", "named", "v6"));
  const std::pair<int, std::string> expected[] = {
      {0, "[::1]"}, {1, longest}, {2, "localhost"}, {3, "::1"}};
  for (const auto& [line, address] : expected) {
    Fill("", "", "", "");
    SelectLine(panel->PreviousConnections(), line);
    EXPECT_EQ(address, Text(panel->AddressField()));
    EXPECT_EQ(std::to_string(closed), Text(panel->PortField()));
  }
  // Each was really called, over IPv6 for the literals, and refused.
  Fill("v6", "::1", std::to_string(closed));
  Connect();
  EXPECT_EQ(
      "Connecting to host ::1\nCould not connect to the Quillo line \nThe Quillo server "
      "is not online\nThe Quillo client was not connected\n",
      EventText());
}

TEST_F(ConnectPanelTest, WithoutABookTheListStaysEmptyAndThePanelShows) {
  ASSERT_EQ(nullptr, settings->PreviousConnectionsBook);
  Fill("Home", "127.0.0.1", std::to_string(FreePort()));
  Connect();
  panel->FillPreviousConnections();
  EXPECT_TRUE(panel->IsShown());
  EXPECT_TRUE(panel->PreviousConnections()->IsEmpty());
}

}  // namespace
