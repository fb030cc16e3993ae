#ifndef QUILLO_CORE_SETTINGS_SETTINGS_FILE_H
#define QUILLO_CORE_SETTINGS_SETTINGS_FILE_H

#include <cstdint>
#include <list>
#include <optional>
#include <string>

#include "core/util/byte_string.h"
#include "core/util/file_io.h"

// One settings file of key=value lines, opened for reading or for updating
// single keys. Instances are short-lived: start-up reads the file through
// one, and every later change of a setting rewrites its key through a fresh
// one. Only the GUI thread uses settings files; there is no lock.
//
// Reading: each line loses one leading blank; a line starting with "#" is a
// comment; a line without "=" is ignored. The key is the text before the
// first "=" with its first blank removed; the value is the text after it
// with one leading blank removed, cut at its first blank when "#" follows
// that blank (a trailing comment). Keys are case-sensitive; the first
// occurrence of a key wins.
//
// Updating: Put rewrites every line that holds the key as "key=value" and
// writes the file back with CR LF line ends; other lines stay as they were.
// When no line the reader takes as the key's entry holds it (none at all,
// or only commented-out ones), the entry is appended at the end. The file
// is never rewritten in place: the new contents replace it whole
// (ReplaceFile), so a crash or a full disk leaves the old file or the new
// one; a new file is made readable by its owner only (it holds keys).
//
// Invariant: items_ alternates key item, value item, in file order.
class SettingsFile {
 public:
  // Not attached to a file yet; Load(path) attaches it.
  SettingsFile();
  explicit SettingsFile(std::string path);
  // The file system calls Put makes; null means POSIX. Not owned.
  void SetFileIo(FileIo* io) { io_ = io; }
  SettingsFile(const SettingsFile&) = delete;
  SettingsFile& operator=(const SettingsFile&) = delete;

  // Reads the file and appends its entries to the items. Returns false when
  // the file cannot be opened; no file is created.
  bool Load();
  // Attaches the object to path, then Load().
  bool Load(const std::string& path);
  // Empties the items, then Load().
  bool Reload();

  // The value of the first entry with exactly this key, or none.
  std::optional<std::string> GetString(const std::string& key) const;
  // The value converted like atoi (leading white space, optional sign,
  // leading digits; saturated to 32 bits), or 0 when the key is missing.
  int32_t GetInt(const std::string& key) const;

  // Rewrites every line holding the key; appends the entry when none did.
  // Returns the number of lines now holding the value (rewritten and
  // appended), or 0 when the file could not be replaced; it is then as it
  // was and errno tells why.
  [[nodiscard]] int Put(const std::string& key, const std::string& value);
  // Put with the number formatted as "%d".
  [[nodiscard]] int PutInt(const std::string& key, int32_t number);

  const std::string& Path() const { return path_; }
  // Key and value items alternately, in file order.
  const std::list<ByteString>& Items() const { return items_; }

  // The longest line the format defines. Longer lines are read and
  // rewritten whole rather than split.
  static constexpr size_t kMaxLineLength = 1023;

 private:
  void ParseLine(const ByteString& line);
  // Each fills output with the file's new contents; the number of lines
  // holding the value.
  int ReplaceValue(const std::string& contents, const std::string& key, const std::string& value,
                   std::string* output) const;
  int AppendEntry(const std::string& contents, const std::string& key, const std::string& value,
                  std::string* output) const;
  // Whether a reader of contents gets value for key.
  bool ReadsBack(const std::string& contents, const std::string& key,
                 const std::string& value) const;
  // Where line holds key as an entry (or a commented-out entry) does, so
  // that the line may be rewritten; npos when it does not.
  size_t KeyPosition(const ByteString& line, const std::string& key) const;

  std::string path_;
  FileIo* io_ = nullptr;
  ByteString separator_ = "=";
  char comment_char_ = '#';
  int32_t comments_enabled_ = 1;
  std::list<ByteString> items_;
};

// What the user is told when Put failed with errno value error: the file,
// the reason, and that the new value holds only until the program closes.
std::string SettingNotSavedText(const std::string& path, int error);

#endif  // QUILLO_CORE_SETTINGS_SETTINGS_FILE_H
