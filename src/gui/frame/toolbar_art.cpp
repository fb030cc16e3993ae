#include "gui/frame/toolbar_art.h"

#include <wx/artprov.h>
#include <wx/image.h>
#include <wx/imagpng.h>

#include "gui/frame/art_data.inc"

namespace {

struct ArtEntry {
  const char* resource;
  const char* theme_name;
  const unsigned char* png;
  size_t size;
};

#define QUILLO_ART(res, theme, data) \
  { res, theme, data, sizeof(data) }
const ArtEntry kArt[] = {
    QUILLO_ART("save", "document-save", kArt_save),
    QUILLO_ART("saveas", "document-save-as", kArt_saveas),
    QUILLO_ART("print", "document-print", kArt_print),
    QUILLO_ART("preview", "document-print-preview", kArt_preview),
    QUILLO_ART("page", "document-page-setup", kArt_page),
    QUILLO_ART("clear", "edit-clear", kArt_clear),
    QUILLO_ART("help", "help-browser", kArt_help),
};
#undef QUILLO_ART

wxBitmap FromPng(const unsigned char* png, size_t size) {
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  return wxBitmap::NewFromPNGData(png, size);
}

const ArtEntry* FindArt(const std::string& resource) {
  for (const ArtEntry& entry : kArt) {
    if (resource == entry.resource) return &entry;
  }
  return nullptr;
}

}  // namespace

wxBitmap BuiltInToolbarBitmap(const std::string& resource) {
  const ArtEntry* entry = FindArt(resource);
  if (!entry) return wxNullBitmap;
  return FromPng(entry->png, entry->size);
}

wxBitmap ToolbarBitmap(const std::string& resource) {
  const ArtEntry* entry = FindArt(resource);
  if (!entry) return wxNullBitmap;
  wxBitmap themed = wxArtProvider::GetBitmap(entry->theme_name, wxART_TOOLBAR, wxSize(16, 16));
  if (themed.IsOk() && themed.GetWidth() == 16 && themed.GetHeight() == 16) return themed;
  return BuiltInToolbarBitmap(resource);
}

wxIconBundle ProgramIcon() {
  wxIconBundle bundle;
  for (const auto& png : {std::make_pair(kArt_icon32, sizeof(kArt_icon32)),
                          std::make_pair(kArt_icon16, sizeof(kArt_icon16))}) {
    wxIcon icon;
    icon.CopyFromBitmap(FromPng(png.first, png.second));
    bundle.AddIcon(icon);
  }
  return bundle;
}
