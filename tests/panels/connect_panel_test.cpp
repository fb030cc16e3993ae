// The Connect panel under Xvfb: its window, the field checks, and OnConnect
// against real loopback hosts (a chat host, a silent host and a closed
// port), with Cancel pressed through the event window while it waits.
#include <sys/resource.h>
#include <wx/msgdlg.h>

#include <cstdio>

#include "books/connect_panel.h"
#include "books/panel_wait.h"
#include "chat/chat_engine.h"
#include "panel_test_support.h"
#include "thread/thread.h"
#include "ui/gui_text.h"
#include "ui/window_ids.h"
#include "util/reporter.h"

namespace {

// The hosting side of a test conversation reports to nobody.
class QuietReporter : public Reporter {
 public:
  void ConversationLine(const std::string&) override {}
  void EventLine(const std::string&) override {}
  void StatusText(const std::string&) override {}
  void ProgramMessage(const std::string&, const std::string&, const std::string&) override {}
  void PlayActivitySound() override {}
  bool MainFrameMinimised() override { return false; }
};

double ProcessCpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
         usage.ru_stime.tv_usec / 1e6;
}

class ConnectPanelTest : public PanelTest {
 protected:
  ConnectPanelTest() {
    panel = new ConnectPanel(nullptr, *settings, *events, *reporter);
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

TEST_F(ConnectPanelTest, IsAHiddenFrameWithItsTitleIdentifierAndFields) {
  EXPECT_FALSE(panel->IsShown());
  EXPECT_EQ("Quillo Connect Panel", ProgramText(panel->GetTitle()));
  EXPECT_EQ(ToolkitId(110000), panel->GetId());
  EXPECT_EQ(wxSize(400, 400), panel->GetSize());
  EXPECT_FALSE(panel->HasFlag(wxMINIMIZE_BOX));
  EXPECT_FALSE(panel->HasFlag(wxMAXIMIZE_BOX));
  EXPECT_EQ("", Text(panel->NicknameField()));
  EXPECT_EQ("59152", Text(panel->PortField()));
  EXPECT_EQ("52917", Text(panel->KeyField()));
  for (int id : {110001, 110002, 110003, 110004, 110005}) {
    EXPECT_NE(nullptr, panel->FindWindow(ToolkitId(id))) << id;
  }
}

TEST_F(ConnectPanelTest, CloseAndTheCloseBoxOnlyHide) {
  panel->FillPreviousConnections();
  EXPECT_TRUE(panel->IsShown());
  Click(panel, ConnectPanel::kCloseId);
  EXPECT_FALSE(panel->IsShown());
  panel->FillPreviousConnections();
  panel->Close();
  EXPECT_FALSE(panel->IsShown());
}

TEST_F(ConnectPanelTest, HelpShowsItsText) {
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
  EXPECT_EQ("", settings->ConnectAddress);
}

TEST_F(ConnectPanelTest, AFailedConnectionLeavesTheEventWindowOpenWithItsLines) {
  panel->FillPreviousConnections();
  PumpEvents();
  const int port = ClosedPort();
  Fill("  home  ", "  127.0.0.1  ", " " + std::to_string(port) + " ", " 70000 ");
  Connect();
  EXPECT_FALSE(panel->IsShown());
  EXPECT_TRUE(events->IsShown());
  EXPECT_FALSE(events->Running());
  EXPECT_EQ(0, events->Value());
  EXPECT_EQ("127.0.0.1", settings->ConnectAddress);
  EXPECT_EQ("127.0.0.1", settings->HostAddress);
  EXPECT_EQ(port, settings->QuilloPortNumber);
  EXPECT_EQ(70000 & 0xFFFF, settings->EncryptionKey);
  EXPECT_FALSE(settings->HostStartTime.empty());
  EXPECT_EQ(
      "Connecting to host 127.0.0.1\nCould not connect to the Quillo line \nThe Quillo server "
      "is not online\nThe Quillo client was not connected\n",
      EventText());
  // Cancel on an idle event window closes it.
  Click(events, EventWindow::kCancelId);
  EXPECT_FALSE(events->IsShown());
}

TEST_F(ConnectPanelTest, NonNumericPortAndKeyConnectWithZero) {
  settings->QuilloPortNumber = 4000;
  Fill("home", "127.0.0.1", "port", "key");
  Connect();
  EXPECT_EQ(0, settings->QuilloPortNumber);
  EXPECT_EQ(0, settings->EncryptionKey);
  EXPECT_THAT(EventText(), testing::EndsWith("The Quillo client was not connected\n"));
}

TEST_F(ConnectPanelTest, CancelWhileConnectingStopsTheThread) {
  SilentHost host;
  Fill("silent", "127.0.0.1", std::to_string(host.Port()));
  PressCancelAfter(300);
  const auto start = std::chrono::steady_clock::now();
  Connect();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(events->IsShown());
  EXPECT_FALSE(events->Running());
  EXPECT_EQ(0, events->Value());
  EXPECT_EQ(
      "Connecting to host 127.0.0.1\nStopping connect thread\nThe current request was "
      "canceled\nThe Quillo client was not connected\n",
      EventText());
  EXPECT_EQ(0, settings->LineBusy.load());
  // The panel can connect again afterwards.
  Click(events, EventWindow::kCancelId);
  Fill("closed", "127.0.0.1", std::to_string(ClosedPort()));
  Connect();
  EXPECT_THAT(EventText(), testing::EndsWith("The Quillo client was not connected\n"));
}

TEST_F(ConnectPanelTest, AConnectionToAHostClosesTheEventWindowAndSetsTheStatus) {
  ProgramSettings host_settings;
  host_settings.QuilloPortNumber = ClosedPort();
  host_settings.ScreenName = "Host";
  host_settings.GreetingText.Set("Welcome to the Host Quillo session");
  QuietReporter host_reporter;
  OpenHostSession(host_settings, host_reporter);
  ASSERT_EQ(1, host_settings.Hosting.load());
  settings->ScreenName = "Guest";
  Fill("host", "127.0.0.1", std::to_string(host_settings.QuilloPortNumber));
  Connect();
  EXPECT_FALSE(events->IsShown());
  EXPECT_FALSE(events->Running());
  EXPECT_EQ("Connected to Quillo Session", status);
  EXPECT_EQ(1, settings->LineBusy.load());
  EXPECT_NE(std::string::npos, conversation.find("Welcome to the Host Quillo session"));
  StopChatWorkers(*settings);
  StopChatWorkers(host_settings);
}

TEST_F(ConnectPanelTest, TheWaitCostsNextToNoProcessorTime) {
  SilentHost host;
  Fill("silent", "127.0.0.1", std::to_string(host.Port()));
  PressCancelAfter(10000);
  const double cpu_before = ProcessCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  Connect();
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = ProcessCpuSeconds() - cpu_before;
  EXPECT_GE(wall, 9.5);
  EXPECT_LT(wall, 15.0);
  EXPECT_LT(cpu / wall, 0.05) << cpu << " s of processor time in " << wall << " s";
  RecordProperty("cpu_percent_of_one_core", std::to_string(100 * cpu / wall));
  std::printf("processor time while waiting: %.3f s in %.3f s (%.2f %%)\n", cpu, wall,
              100 * cpu / wall);
  EXPECT_THAT(EventText(), testing::HasSubstr("The current request was canceled\n"));
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
  int closed = ClosedPort();
};

TEST_F(ConnectBookTest, ConnectingStoresTheConnectionAndTheListShowsItInNameOrder) {
  Store("zed", "127.0.0.1", closed, 1111);
  Store("  Amy ", "127.0.0.1", closed, 2222);
  Store("bob", "localhost", closed, 3333);
  EXPECT_THAT(Listed(), testing::ElementsAre("Amy", "bob", "zed"));
  EXPECT_TRUE(panel->IsShown());
}

TEST_F(ConnectBookTest, TheSameNicknameTwiceKeepsOneEntryWithTheNewAddress) {
  Store("Home", "127.0.0.1", closed, 1111);
  Store("home", "localhost", closed, 70000);
  EXPECT_THAT(Listed(), testing::ElementsAre("Home"));
  Fill("", "", "", "");
  SelectLine(panel->PreviousConnections(), 0);
  EXPECT_EQ("Home", Text(panel->NicknameField()));
  EXPECT_EQ("localhost", Text(panel->AddressField()));
  EXPECT_EQ(std::to_string(closed), Text(panel->PortField()));
  // The whole key is stored, not its low 16 bits.
  EXPECT_EQ("70000", Text(panel->KeyField()));
}

TEST_F(ConnectBookTest, SelectingAfterTheFilesWereDamagedLeavesTheFieldsAlone) {
  Store("Home", "127.0.0.1", closed, 1111);
  EXPECT_THAT(Listed(), testing::ElementsAre("Home"));
  Fill("typed", "10.0.0.1", "5000", "6000");
  // Everything after the fresh file's 65065 bytes: the record.
  DamageConnectionsData(65065, 600);
  SelectLine(panel->PreviousConnections(), 0);
  EXPECT_EQ("typed", Text(panel->NicknameField()));
  EXPECT_EQ("10.0.0.1", Text(panel->AddressField()));
  EXPECT_EQ("5000", Text(panel->PortField()));
  EXPECT_EQ("6000", Text(panel->KeyField()));
}

TEST_F(ConnectBookTest, AnUnreadableRecordStopsTheFillingAndKeepsThePanelHidden) {
  Store("Home", "127.0.0.1", closed, 1111);
  DamageConnectionsData(65065, 600);
  panel->FillPreviousConnections();
  EXPECT_FALSE(panel->IsShown());
  EXPECT_TRUE(panel->PreviousConnections()->IsEmpty());
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

TEST_F(ConnectPanelTest, WithoutABookTheListStaysEmptyAndThePanelShows) {
  ASSERT_EQ(nullptr, settings->PreviousConnectionsBook);
  Fill("Home", "127.0.0.1", std::to_string(ClosedPort()));
  Connect();
  panel->FillPreviousConnections();
  EXPECT_TRUE(panel->IsShown());
  EXPECT_TRUE(panel->PreviousConnections()->IsEmpty());
}

}  // namespace
