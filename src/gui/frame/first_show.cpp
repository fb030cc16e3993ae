#include "gui/frame/first_show.h"

#include <gtk/gtk.h>
#include <wx/window.h>

void SizeBeforeFirstShow(wxWindow* window) {
  GtkWidget* widget = window->GetHandle();
  if (!widget || !GTK_IS_WINDOW(widget) || gtk_widget_get_realized(widget)) return;
  // The size wxWidgets asked GTK for, without the decorations.
  int width = 0;
  int height = 0;
  gtk_window_get_default_size(GTK_WINDOW(widget), &width, &height);
  if (width <= 0 || height <= 0) {
    const wxSize size = window->GetSize();
    width = size.x;
    height = size.y;
  }
  if (width <= 1 || height <= 1) return;
  GtkAllocation allocation = {0, 0, width, height};
  gtk_widget_set_allocation(widget, &allocation);
}
