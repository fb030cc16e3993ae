#include "gui/frame/shell.h"

#include <gio/gio.h>

#include <cstdio>
#include <memory>

#include "gui/frame/program_message.h"

namespace {

template <typename T>
struct GObjectDeleter {
  void operator()(T* object) const {
    if (object) g_object_unref(object);
  }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

struct GFreeDeleter {
  void operator()(char* text) const { g_free(text); }
};
using GText = std::unique_ptr<char, GFreeDeleter>;

int CodeForError(GError* error) {
  int code = kShellFailed;
  if (error && error->domain == G_IO_ERROR) {
    if (error->code == G_IO_ERROR_NOT_FOUND) code = kShellNotFound;
    if (error->code == G_IO_ERROR_PERMISSION_DENIED) code = kShellAccessDenied;
    if (error->code == G_IO_ERROR_NOT_SUPPORTED) code = kShellNoAssociation;
  }
  if (error) g_error_free(error);
  return code;
}

// A URI has a scheme of two or more characters; anything else is a path.
bool IsUri(const std::string& text) {
  GText scheme(g_uri_parse_scheme(text.c_str()));
  return scheme && std::string(scheme.get()).size() > 1;
}

int LaunchWith(GAppInfo* app, GFile* file) {
  GList files = {file, nullptr, nullptr};
  GError* error = nullptr;
  if (!g_app_info_launch(app, &files, nullptr, &error)) return CodeForError(error);
  return kShellOk;
}

int OpenFile(GFile* file) {
  GError* error = nullptr;
  GObjectPtr<GFileInfo> info(g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                               G_FILE_QUERY_INFO_NONE, nullptr, &error));
  if (!info) return CodeForError(error);
  const char* type = g_file_info_get_content_type(info.get());
  if (!type) return kShellNoAssociation;
  GObjectPtr<GAppInfo> app(g_app_info_get_default_for_type(type, FALSE));
  if (!app) return kShellNoAssociation;
  return LaunchWith(app.get(), file);
}

int OpenUri(const std::string& uri) {
  GText scheme(g_uri_parse_scheme(uri.c_str()));
  if (std::string(scheme.get()) == "file") {
    GObjectPtr<GFile> file(g_file_new_for_uri(uri.c_str()));
    if (!g_file_query_exists(file.get(), nullptr)) return kShellNotFound;
    return OpenFile(file.get());
  }
  GObjectPtr<GAppInfo> app(g_app_info_get_default_for_uri_scheme(scheme.get()));
  if (!app) return kShellNoAssociation;
  GObjectPtr<GFile> file(g_file_new_for_uri(uri.c_str()));
  return LaunchWith(app.get(), file.get());
}

std::string Format(const char* format, int code, const std::string& text) {
  const int size = std::snprintf(nullptr, 0, format, code, text.c_str());
  std::string out(static_cast<size_t>(size), '\0');
  std::snprintf(&out[0], out.size() + 1, format, code, text.c_str());
  return out;
}

}  // namespace

int ShellOpen(const std::string& text) {
  if (text.empty()) return kShellNotFound;
  if (IsUri(text)) return OpenUri(text);
  GObjectPtr<GFile> file(g_file_new_for_path(text.c_str()));
  if (!g_file_query_exists(file.get(), nullptr)) return kShellNotFound;
  return OpenFile(file.get());
}

std::string ShellErrorText(int code, const std::string& text) {
  if (code > 32) return std::string();
  if (code == 2 || code == 3) {
    return "ShellExecute Error: Document '" + text + "' not found\n";
  }
  if (code == kShellNoAssociation) {
    return "ShellExecute Error: No association for file extension " + text + "\n";
  }
  return Format("ShellExecute Error: Error %d while opening document %s\n", code, text);
}

void OpenWithShell(const std::string& text) {
  const int code = ShellOpen(text);
  if (code > 32) return;
  ShowProgramMessage(ShellErrorText(code, text));
}
