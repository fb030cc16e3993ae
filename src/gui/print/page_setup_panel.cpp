#include "gui/print/page_setup_panel.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "core/settings/program_settings.h"
#include "core/settings/settings_file.h"
#include "gui/frame/gui_text.h"
#include "gui/frame/program_message.h"
#include "gui/frame/window_ids.h"
#include "gui/print/print_data.h"

namespace {

constexpr long kPanelStyle = wxCAPTION | wxSYSTEM_MENU | wxRESIZE_BORDER | wxDOUBLE_BORDER;

// The orientation list's items, by index: the index is the Portrait flag.
const char* const kOrientationItems[] = {PrintSettings::kLandscapeName,
                                         PrintSettings::kPortraitName};

wxArrayString Items(const char* const* names, int count) {
  wxArrayString items;
  for (int i = 0; i < count; ++i) items.Add(names[i]);
  return items;
}

int PortraitFlag(const PrintSettings& layout) {
  return layout.PageOrientation == PrintSettings::kPortrait ? 1 : 0;
}

// Labels keep their place and take the size of their text, so that none is
// clipped or wrapped.
wxStaticText* Label(wxWindow* parent, const char* text, int x, int y) {
  return new wxStaticText(parent, wxID_ANY, text, wxPoint(x, y));
}

// A drop-down list at its place, at least as wide as the layout says and
// wide enough to show its longest item.
wxChoice* List(wxWindow* parent, int x, int y, const wxArrayString& items) {
  auto* list = new wxChoice(parent, wxID_ANY, wxPoint(x, y), wxSize(80, 25), items);
  list->SetSize(wxSize(std::max(80, list->GetBestSize().x), 25));
  return list;
}

}  // namespace

wxBEGIN_EVENT_TABLE(PageSetupPanel, wxFrame)
    EVT_BUTTON(ToolkitId(PageSetupPanel::kAccept), PageSetupPanel::OnAccept)
        EVT_BUTTON(ToolkitId(PageSetupPanel::kCancel), PageSetupPanel::OnCancel)
            EVT_BUTTON(ToolkitId(PageSetupPanel::kClose), PageSetupPanel::OnCloseButton)
                EVT_BUTTON(ToolkitId(PageSetupPanel::kDefault), PageSetupPanel::OnDefault)
                    EVT_CLOSE(PageSetupPanel::OnCloseWindow) wxEND_EVENT_TABLE()

                        PageSetupPanel::PageSetupPanel(wxWindow* parent, ProgramSettings& settings,
                                                       ToolkitPrintData& print)
    : wxFrame(parent, ToolkitId(kId), "Page Setup", wxPoint(50, 50), wxSize(350, 310), kPanelStyle,
              "Page Setup"),
      settings_(settings),
      print_(print) {
  CreateControls();
}

void PageSetupPanel::CreateControls() {
  const PrintSettings& layout = print_.Layout();
  auto* panel = new wxPanel(this);
  // The fixed layout was drawn for small dialog type; the desktop's larger
  // default would clip the labels and the list items.
  panel->SetFont(wxFontInfo(8));
  Label(panel, "Font Size", 9, 14);
  font_size_ = new wxSlider(panel, wxID_ANY, layout.FontSize, 1, 20, wxPoint(75, 12),
                            wxSize(155, -1), wxSL_HORIZONTAL | wxSL_LABELS);
  Label(panel, "Left Margin", 9, 52);
  margin_ = new wxSlider(panel, wxID_ANY, static_cast<int>(layout.LeftMargin), 1, 20,
                         wxPoint(75, 50), wxSize(155, -1), wxSL_HORIZONTAL | wxSL_LABELS);
  Label(panel, "Orientation", 9, 94);
  orientation_ = List(panel, 75, 92, Items(kOrientationItems, WXSIZEOF(kOrientationItems)));
  Label(panel, "Font", 9, 129);
  font_ =
      List(panel, 75, 121, Items(PrintSettings::kFontFamilyNames, PrintSettings::kFontFamilyCount));
  Label(panel, "Paper Size", 9, 158);
  paper_ = List(panel, 75, 156, Items(PrintSettings::kPaperNames, PrintSettings::kPaperCount));
  const wxStaticText* name_label = Label(panel, "Document name", 9, 202);
  const int name_x = std::max(95, name_label->GetRect().GetRight() + 5);
  document_name_ =
      new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxPoint(name_x, 198), wxSize(200, 25));
  new wxButton(panel, ToolkitId(kAccept), "Accept", wxPoint(17, 238), wxSize(46, 25));
  new wxButton(panel, ToolkitId(kCancel), "Cancel", wxPoint(83, 238), wxSize(46, 25));
  new wxButton(panel, ToolkitId(kClose), "Close", wxPoint(149, 238), wxSize(46, 25));
  new wxButton(panel, ToolkitId(kDefault), "Default", wxPoint(215, 238), wxSize(46, 25));
  orientation_->SetSelection(PortraitFlag(layout));
  font_->SetSelection(layout.FamilyIndex);
  paper_->SetSelection(layout.PaperIndex);
}

void PageSetupPanel::ShowPageSetupPanel() {
  LoadControls();
  Show();
  Raise();
}

void PageSetupPanel::LoadControls() {
  const PrintSettings& layout = print_.Layout();
  font_size_->SetValue(layout.FontSize);
  margin_->SetValue(static_cast<int>(layout.LeftMargin));
  orientation_->SetSelection(PortraitFlag(layout));
  font_->SetSelection(layout.FamilyIndex);
  paper_->SetSelection(layout.PaperIndex);
  document_name_->ChangeValue(GuiText(settings_.mswpDocumentName));
}

int PageSetupPanel::CountChanges() const {
  const PrintSettings& layout = print_.Layout();
  int changes = 0;
  if (ProgramText(document_name_->GetValue()) != settings_.mswpDocumentName) ++changes;
  if (font_size_->GetValue() != layout.FontSize) ++changes;
  if (orientation_->GetSelection() != PortraitFlag(layout)) ++changes;
  if (font_->GetSelection() != layout.FamilyIndex) ++changes;
  if (paper_->GetSelection() != layout.PaperIndex) ++changes;
  if (static_cast<double>(margin_->GetValue()) != layout.LeftMargin) ++changes;
  return changes;
}

void PageSetupPanel::Commit() {
  PrintSettings& layout = print_.Layout();
  SettingsFile file(settings_.SettingsFilePath);
  // Each change applies at once; a write the file refused is said once.
  int unsaved_errno = 0;
  auto note = [&](int written) {
    if (written == 0 && unsaved_errno == 0) unsaved_errno = errno;
  };
  const int paper = paper_->GetSelection();
  if (paper != wxNOT_FOUND && paper != layout.PaperIndex) {
    layout.PaperIndex = paper;
    print_.PushPaper();
    note(file.Put("mswpPaperSize", ProgramText(paper_->GetString(paper))));
  }
  const int portrait = orientation_->GetSelection();
  if (portrait != wxNOT_FOUND && portrait != PortraitFlag(layout)) {
    layout.PageOrientation = portrait ? PrintSettings::kPortrait : PrintSettings::kLandscape;
    print_.PushOrientation();
    note(file.Put("mswpOrientation", ProgramText(orientation_->GetString(portrait))));
  }
  if (font_size_->GetValue() != layout.FontSize) {
    layout.FontSize = font_size_->GetValue();
    note(file.PutInt("mswpFontSize", layout.FontSize));
  }
  const int family = font_->GetSelection();
  if (family != wxNOT_FOUND && family != layout.FamilyIndex) {
    layout.FamilyIndex = family;
    note(file.Put("mswpFont", ProgramText(font_->GetString(family))));
  }
  if (static_cast<double>(margin_->GetValue()) != layout.LeftMargin) {
    layout.LeftMargin = margin_->GetValue();
    note(file.PutInt("mswpLeftMargin", margin_->GetValue()));
  }
  const std::string name = ProgramText(document_name_->GetValue());
  if (name != settings_.mswpDocumentName) {
    settings_.mswpDocumentName = name;
    note(file.Put("mswpDocumentName", name));
  }
  if (unsaved_errno != 0) {
    ShowProgramMessage(SettingNotSavedText(settings_.SettingsFilePath, unsaved_errno), " ", " ");
  }
  // The clock overwrites the name at its next tick.
  auto* frame = wxDynamicCast(GetParent(), wxFrame);
  wxStatusBar* bar = frame ? frame->GetStatusBar() : nullptr;
  if (bar && bar->GetFieldsCount() > 1) bar->SetStatusText(GuiText(name), 1);
  Hide();
}

void PageSetupPanel::OnAccept(wxCommandEvent&) {
  if (CountChanges() > 0) {
    Commit();
  } else {
    ShowProgramMessage("There are no changes to commit\n", " ", " ");
  }
}

void PageSetupPanel::OnCancel(wxCommandEvent&) { LoadControls(); }

void PageSetupPanel::OnCloseButton(wxCommandEvent&) { CloseAsking(); }

void PageSetupPanel::OnDefault(wxCommandEvent&) {
  font_size_->SetValue(9);
  margin_->SetValue(10);
  orientation_->SetSelection(1);
  font_->SetSelection(0);
  paper_->SetSelection(0);
  document_name_->ChangeValue(GuiText(settings_.mswpDocumentName));
}

void PageSetupPanel::OnCloseWindow(wxCloseEvent& event) {
  // A forced close (the main frame going away) destroys the panel.
  if (!event.CanVeto()) {
    event.Skip();
    return;
  }
  event.Veto();
  CloseAsking();
}

void PageSetupPanel::CloseAsking() {
  if (CountChanges() > 0) {
    wxMessageDialog question(this, "The configuration has been modifed!\nAccept these changes?\n",
                             "Program Message", wxYES_NO | wxICON_QUESTION);
    if (question.ShowModal() == wxID_YES) Commit();
  }
  Hide();
}
