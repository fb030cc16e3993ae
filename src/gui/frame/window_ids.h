#ifndef QUILLO_GUI_FRAME_WINDOW_IDS_H
#define QUILLO_GUI_FRAME_WINDOW_IDS_H

// The program names its windows and commands with identifiers such as
// 100000, 110003 or 980004. wxWidgets asserts on identifiers of 32767 and
// above, so every control is created with the identifier this one fixed
// mapping derives from the program's own: the group (id / 10000) and the
// member (id % 100). Groups 10..98 land between 21000 and 29899, above
// wxID_HIGHEST and below the toolkit's limit.
constexpr int ToolkitId(int program_id) {
  return 20000 + (program_id / 10000) * 100 + program_id % 100;
}

static_assert(ToolkitId(100000) == 21000, "main frame group");
static_assert(ToolkitId(980004) == 29804, "page setup group");
static_assert(ToolkitId(161111) < 32767, "below the toolkit's limit");

#endif  // QUILLO_GUI_FRAME_WINDOW_IDS_H
