// Opening documents and addresses through GIO, in private XDG directories:
// the test's own .desktop handler for text/html and mailto is really run,
// and what has no handler or does not exist gives the program's messages.
#include "gui/frame/shell.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "gui/support/gui_test_main.h"

namespace {

// One tree per process: ctest runs each test of this file as a process of
// its own, side by side, and each starts by clearing its tree.
const std::string kRoot =
    std::string(QUILLO_BINARY_DIR) + "/shell-test-xdg-" + std::to_string(::getpid());
const std::string kMarker = kRoot + "/launched.txt";

// GLib reads the XDG variables once, at its first use, so they are set (and
// the handler installed) before main() starts the toolkit.
struct PrivateDesktop {
  PrivateDesktop() {
    namespace fs = std::filesystem;
    fs::remove_all(kRoot);
    for (const char* dir : {"/data/applications", "/system", "/config"}) {
      fs::create_directories(kRoot + dir);
    }
    // The MIME database only: content types, but none of this machine's handlers.
    fs::create_directory_symlink("/usr/share/mime", kRoot + "/system/mime");
    const std::string handler = kRoot + "/handler.sh";
    WriteBytes(handler, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + kMarker + "'\n");
    fs::permissions(handler, fs::perms::owner_all);
    WriteBytes(kRoot + "/data/applications/quillo-test-handler.desktop",
               "[Desktop Entry]\nType=Application\nName=Quillo test handler\nExec=" + handler +
                   " %u\nMimeType=text/html;x-scheme-handler/mailto;\nNoDisplay=true\n");
    // GLib finds handlers through update-desktop-database's cache.
    WriteBytes(kRoot + "/data/applications/mimeinfo.cache",
               "[MIME Cache]\ntext/html=quillo-test-handler.desktop;\n"
               "x-scheme-handler/mailto=quillo-test-handler.desktop;\n");
    setenv("XDG_DATA_HOME", (kRoot + "/data").c_str(), 1);
    setenv("XDG_DATA_DIRS", (kRoot + "/system").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (kRoot + "/config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (kRoot + "/config").c_str(), 1);
    unsetenv("XDG_CURRENT_DESKTOP");
  }
  ~PrivateDesktop() { std::filesystem::remove_all(kRoot); }
} private_desktop;

std::string Launched() {
  PumpUntil([] { return qtest::FileSize(kMarker) > 0; }, std::chrono::seconds(10));
  const std::string text = ReadBytes(kMarker);
  std::remove(kMarker.c_str());
  return text;
}

TEST(ShellTest, AnHtmlPageAndAMailAddressGoToTheirRegisteredHandler) {
  TempDir dir;
  const std::string page = dir.File("quillo.html");
  WriteBytes(page, "<!DOCTYPE html><html><head><title>x</title></head><body>x</body></html>\n");
  EXPECT_EQ(kShellOk, ShellOpen(page));
  EXPECT_NE(std::string::npos, Launched().find("quillo.html"));
  EXPECT_EQ(kShellOk, ShellOpen("mailto:support@quillo.example.org"));
  EXPECT_EQ("mailto:support@quillo.example.org\n", Launched());
}

TEST(ShellTest, NoHandlerAndAMissingDocumentGiveTheirTexts) {
  TempDir dir;
  const std::string data = dir.File("notes.qzz");
  WriteBytes(data, std::string("\x01\x02\x03\x00\xff\xfe", 6));
  EXPECT_EQ(kShellNoAssociation, ShellOpen(data));
  EXPECT_EQ(kShellNoAssociation, ShellOpen("https://quillo.example.org/"));
  std::string message;
  wxTEST_DIALOG(OpenWithShell(data), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("ShellExecute Error: No association for file extension " + data + "\n", message);
  const std::string help = "/nonexistent/quillo/quillo.html";
  EXPECT_EQ(kShellNotFound, ShellOpen("file://" + help));
  wxTEST_DIALOG(OpenWithShell(help), ExpectMessage(wxID_OK, &message));
  EXPECT_EQ("ShellExecute Error: Document '" + help + "' not found\n", message);
  EXPECT_EQ("ShellExecute Error: Error 5 while opening document x.html\n",
            ShellErrorText(5, "x.html"));
  EXPECT_EQ("", ShellErrorText(33, "x"));
  EXPECT_NE("", ShellErrorText(32, "x"));
}

}  // namespace
