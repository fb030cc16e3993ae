// The main frame: menus, toolbar, status bar, splitter, information boxes,
// help commands and the close sequence while idle (the panels it builds are
// checked in tests/gui/panels).
#include <wx/statusbr.h>
#include <wx/toolbar.h>

#include "gui/frame/chat_panel.h"
#include "gui/frame/conversation_window.h"
#include "gui/frame/gui_reporter.h"
#include "gui/frame/gui_text.h"
#include "gui/frame/splitter_window.h"
#include "gui/support/frame_fixture.h"

namespace {

struct MenuEntry {
  const char* menu;
  int id;
  const char* label;
  const char* help;
  bool checkable;
};

const MenuEntry kMenus[] = {
    {"&File", 15, "Save Session\tCtrl+S", "Save conversation ", false},
    {"&File", 16, "Save As\tCtrl+Shift+S", "Save conversation as", false},
    {"&File", 1, "E&xit\tCtrl+Q", "Exit this program", false},
    {"&View", 32, "Clear\tCtrl-Z", "Clear the text screen", false},
    {"&View", 38, "View Toolbar", "Toggle the toolbar on and off", true},
    {"&View", 39, "Move Toolbar", "Move the toolbar", true},
    {"&Print", 28, "Print\tCtrl+P", "Print converstion to a selected printer", false},
    {"&Print", 31, "Preview", "Preview the document before printing", false},
    {"&Print", 30, "Page Setup", "Setup the page options", false},
    {"&Print", 29, "Printer Setup", "Setup the printer options", false},
    {"&Help", 51, "&Help Topics\tF1", "On-line Help", false},
    {"&Help", 50, "About Quillo", "Information about this program", false},
    {"&Help", 48, "Contact Quillo Developers", "Contact information", false},
    {"&Help", 49, "Quillo Home Page", "Visit this program's home page", false},
    {"&Help", 54, "WinSock Info", "Display your current WinSock version", false},
};

using MainFrameTest = FrameTest;

TEST_F(MainFrameTest, MenusCarryTheirLabelsHelpAndIdsInOrder) {
  MakeFrame();
  wxMenuBar* bar = frame->GetMenuBar();
  ASSERT_EQ(4u, bar->GetMenuCount());
  const char* titles[] = {"&File", "&View", "&Print", "&Help"};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(titles[i], ProgramText(bar->GetMenuLabel(i)));
  for (const MenuEntry& entry : kMenus) {
    SCOPED_TRACE(entry.label);
    wxMenu* menu = bar->GetMenu(bar->FindMenu(entry.menu));
    wxMenuItem* item = menu->FindChildItem(ToolkitId(entry.id));
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(entry.label, ProgramText(item->GetItemLabel()));
    EXPECT_EQ(entry.help, ProgramText(item->GetHelp()));
    EXPECT_EQ(entry.checkable, item->IsCheckable());
  }
  // Separators: File 1, View 1, Help 4.
  EXPECT_EQ(4u, bar->GetMenu(0)->GetMenuItemCount());
  EXPECT_EQ(4u, bar->GetMenu(1)->GetMenuItemCount());
  EXPECT_EQ(4u, bar->GetMenu(2)->GetMenuItemCount());
  EXPECT_EQ(9u, bar->GetMenu(3)->GetMenuItemCount());
  EXPECT_TRUE(bar->IsChecked(ToolkitId(38)));
  EXPECT_FALSE(bar->IsChecked(ToolkitId(39)));
}

TEST_F(MainFrameTest, FrameTakesTitleSizeAndBuildsItsSplitWindows) {
  MakeFrame();
  EXPECT_EQ("Quillo", ProgramText(frame->GetTitle()));
  EXPECT_EQ(wxSize(550, 475), frame->GetSize());
  EXPECT_EQ(ToolkitId(1024), frame->GetId());
  EXPECT_EQ(frame, TheMainFrame);
  EXPECT_EQ("Quillo 100% secure private point-to-point conversations\n", Transcript());
  EXPECT_EQ("Welcome to the Quillo Quillo session", settings->GreetingText);
  EXPECT_EQ("splitterWindow", ProgramText(frame->Splitter()->GetName()));
  EXPECT_EQ(ToolkitId(1025), frame->Splitter()->GetId());
  EXPECT_EQ(ToolkitId(1026), frame->Conversation()->GetId());
  EXPECT_FALSE(frame->Conversation()->IsEditable());
  const wxFont font = frame->Conversation()->GetFont();
  EXPECT_EQ(10, font.GetPointSize());
  EXPECT_EQ(wxFONTFAMILY_SWISS, font.GetFamily());
  // The splitter places the sash and never unsplits.
  SplitterWindow* splitter = frame->Splitter();
  EXPECT_TRUE(splitter->IsSplit());
  EXPECT_EQ(150, splitter->GetSashPosition());
  EXPECT_EQ(frame->Conversation(), splitter->GetWindow1());
  EXPECT_EQ(frame->GetChatPanel(), splitter->GetWindow2());
  EXPECT_GT(frame->GetChatPanel()->GetSize().GetHeight(), 100);
  // A double click on the sash leaves both panes in place.
  wxMouseEvent dclick(wxEVT_LEFT_DCLICK);
  dclick.m_x = splitter->GetClientSize().x / 2;
  dclick.m_y = 152;
  dclick.SetEventObject(splitter);
  splitter->ProcessWindowEvent(dclick);
  PumpEvents(std::chrono::milliseconds(20));
  EXPECT_TRUE(splitter->IsSplit());
  splitter->SetSashPosition(60);
  EXPECT_EQ(60, splitter->GetSashPosition());
  EXPECT_TRUE(splitter->IsSplit());
}

TEST_F(MainFrameTest, HorizontalToolbarHasTheSevenToolsWithTheirTips) {
  MakeFrame();
  wxToolBar* bar = frame->GetToolBar();
  ASSERT_NE(nullptr, bar);
  EXPECT_EQ(ToolkitId(1027), bar->GetId());
  EXPECT_FALSE(bar->HasFlag(wxTB_VERTICAL));
  EXPECT_TRUE(frame->ToolBarHorizontal());
  EXPECT_EQ(1, frame->ToolBarRows());
  ASSERT_EQ(10u, bar->GetToolsCount());
  const struct {
    int id;
    const char* tip;
  } tools[] = {{15, "Save Conversation"},
               {16, "Save Conversation As"},
               {0, nullptr},
               {28, "Print"},
               {31, "Print Preview"},
               {30, "Page Setup"},
               {0, nullptr},
               {32, "Clear"},
               {0, nullptr},
               {51, "Online Help"}};
  for (size_t i = 0; i < 10; ++i) {
    const wxToolBarToolBase* tool = bar->GetToolByPos(i);
    if (!tools[i].tip) {
      EXPECT_TRUE(tool->IsSeparator());
      continue;
    }
    EXPECT_EQ(ToolkitId(tools[i].id), tool->GetId());
    EXPECT_EQ(tools[i].tip, ProgramText(tool->GetShortHelp()));
    EXPECT_EQ("", ProgramText(tool->GetLongHelp()));
    EXPECT_EQ(16, tool->GetNormalBitmap().GetWidth());
  }
}

TEST_F(MainFrameTest, StartsWithoutToolbarWhenViewToolBarIsFalse) {
  settings->ViewToolBar = 0;
  settings->ToolBarOrientation = 0;
  MakeFrame();
  EXPECT_EQ(nullptr, frame->GetToolBar());
  EXPECT_FALSE(frame->GetMenuBar()->IsChecked(ToolkitId(38)));
  // View Toolbar brings it back horizontal, whatever the orientation key says.
  Command(MainFrame::kViewToolBar);
  ASSERT_NE(nullptr, frame->GetToolBar());
  EXPECT_FALSE(frame->GetToolBar()->HasFlag(wxTB_VERTICAL));
  EXPECT_EQ("ViewToolBar=TRUE\r\n", SettingsText());
  EXPECT_EQ(0, settings->ViewToolBar);
  EXPECT_EQ(0, settings->ToolBarOrientation);
}

TEST_F(MainFrameTest, MoveToolbarTurnsItAndWritesTheSideViewToolbarOffRemovesIt) {
  settings->ToolBarOrientation = 0;
  MakeFrame();
  EXPECT_TRUE(frame->GetToolBar()->HasFlag(wxTB_VERTICAL));
  EXPECT_FALSE(frame->ToolBarHorizontal());
  Command(MainFrame::kMoveToolBar);
  EXPECT_FALSE(frame->GetToolBar()->HasFlag(wxTB_VERTICAL));
  EXPECT_EQ(1, settings->ToolBarOrientation);
  EXPECT_EQ("ToolBarOrientation=Horizontal\r\n", SettingsText());
  Command(MainFrame::kMoveToolBar);
  EXPECT_TRUE(frame->GetToolBar()->HasFlag(wxTB_VERTICAL));
  EXPECT_EQ("ToolBarOrientation=Vertical\r\n", SettingsText());
  Command(MainFrame::kMoveToolBar);  // checks Move Toolbar again
  EXPECT_TRUE(frame->GetMenuBar()->IsChecked(ToolkitId(39)));
  Command(MainFrame::kViewToolBar);
  EXPECT_EQ(nullptr, frame->GetToolBar());
  EXPECT_FALSE(frame->GetMenuBar()->IsChecked(ToolkitId(39)));
  EXPECT_EQ(1, settings->ViewToolBar);
  EXPECT_EQ("ToolBarOrientation=Horizontal\r\nViewToolBar=FALSE\r\n", SettingsText());
  // Move shows it again, with View Toolbar left unchecked.
  Command(MainFrame::kMoveToolBar);
  EXPECT_NE(nullptr, frame->GetToolBar());
  EXPECT_FALSE(frame->GetMenuBar()->IsChecked(ToolkitId(38)));
}

TEST_F(MainFrameTest, StatusBarShowsTheTitleTheClockAndThePrivacy) {
  MakeFrame();
  wxStatusBar* status = frame->GetStatusBar();
  ASSERT_NE(nullptr, status);
  ASSERT_EQ(3, status->GetFieldsCount());
  // No conversation, no privacy word; a worker's report reaches the field.
  EXPECT_EQ("", ProgramText(status->GetStatusText(MainFrame::kPrivacyField)));
  frame->GetReporter().PrivacyStatus("Private session");
  frame->GetGuiReporter().Flush();
  EXPECT_EQ("Private session", ProgramText(status->GetStatusText(MainFrame::kPrivacyField)));
  EXPECT_EQ("Quillo", ProgramText(status->GetStatusText(0)));
  char now[64];
  const time_t t = time(nullptr);
  struct tm local;
  localtime_r(&t, &local);
  strftime(now, sizeof now, "%X", &local);
  EXPECT_EQ(std::string(now).size(), ProgramText(status->GetStatusText(1)).size());
  wxRect field;
  status->GetFieldRect(1, field);
  EXPECT_NEAR(100, field.GetWidth(), 4);
}

TEST_F(MainFrameTest, ClearEmptiesTheConversation) {
  MakeFrame();
  frame->GetReporter().ConversationLine("Ann Says>\nhello\n\n");
  PumpEvents(std::chrono::milliseconds(20));
  EXPECT_NE(std::string::npos, Transcript().find("hello"));
  // Seen from elsewhere, the line asks the desktop for attention.
  EXPECT_EQ(!frame->IsActive(), frame->WantsAttention());
  Command(MainFrame::kClear);
  EXPECT_EQ("", Transcript());
}

TEST_F(MainFrameTest, AboutWinSockAndHelpTopicsWithoutTheHelpFile) {
  MakeFrame();
  std::string message, caption;
  wxTEST_DIALOG(Command(MainFrame::kAbout), ExpectMessage(wxID_OK, &message, &caption));
  EXPECT_EQ("About Box", caption);
  EXPECT_EQ(0u, message.find("Quillo version 4.0 for Linux (wxGTK 3.2)\n"));
  wxTEST_DIALOG(Command(MainFrame::kWinSockInfo), ExpectMessage(wxID_OK, &message, &caption));
  EXPECT_EQ("WinSock Information", caption);
  EXPECT_EQ(0u, message.find("WinSock Version Requested: 1.1\nCurrent WinSock Version: 1.1\n"
                             "Description: BSD socket interface of the Linux kernel "));
  EXPECT_NE(std::string::npos, message.find("\nSystem Status: Running\nMax number of sockets: "));
  EXPECT_NE(std::string::npos, message.find("\nMAX UDP datagram size: 65507\n"));
  wxTEST_DIALOG(Command(MainFrame::kHelpTopics), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("ShellExecute Error: Document '" + settings->HelpFilePath + "' not found\n", message);
}

TEST_F(MainFrameTest, ClosingIdleWithBothFlagsWritesTheFiveKeysInOrder) {
  settings->RememberFrameSize = 1;
  settings->RememberProgramSettings = 1;
  MakeFrame();
  frame->Splitter()->SetSashPosition(170);
  const wxSize size = frame->GetSize();
  const wxPoint position = frame->GetPosition();
  Command(MainFrame::kExit);
  PumpEvents(std::chrono::milliseconds(20));
  EXPECT_FALSE(FrameAlive());
  EXPECT_EQ(
      "MainFrameWidth=" + std::to_string(size.x) + "\r\nMainFrameHeight=" + std::to_string(size.y) +
          "\r\nMainFrameXPosition=" + std::to_string(position.x) +
          "\r\nMainFrameYPosition=" + std::to_string(position.y) + "\r\nSplitterPosition=170\r\n",
      SettingsText());
}

}  // namespace
