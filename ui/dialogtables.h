// The unit information dialog's control ids and its fixed tables.
#pragma once
#include "unitrecord.h"

// Controls of the template "DLG_VIEW_XDATA".
enum UnitDialogControl {
  IDC_PICTURE = 100,           // the unit's preview, painted on WM_PAINT
  IDC_INFORMATION = 200,       // owner-drawn list of the unit's data
  IDC_FIRST_CONNECTION = 201,  // 201 to 208: one system combo box per connection point
  IDC_LAST_CONNECTION = 208,
  IDC_UNIT_SYSTEM = 210,
  IDC_DUCT_SERIE = 211,
  IDC_LABEL_OFFSET = 100,      // a connection's label is its combo box id + 100
  IDC_DUCT_SERIE_LABEL = 312,
};

// A main connection as the dialog shows it: its label (also the list heading) and the
// Ductora system type offered for it.
struct MainConnection {
  ConnectionType type;
  const char* label;
  int systemType;
};

// In the order the dialog lists them.
inline constexpr MainConnection kMainConnections[] = {
    {CONN_SUPPLY, "Supply", 0},
    {CONN_EXTRACT, "Extract", 1},
    {CONN_OUTDOOR, "Outdoor", 3},
    {CONN_EXHAUST, "Exhaust", 2},
};

// Octave-band labels of the sound lines.
inline constexpr const char* kBandLabels[kSoundBands] = {"63", "125", "250", "500",
                                                          "1k", "2k", "4k", "8k"};

// True for a connection point that has a combo box in the dialog.
inline bool hasConnectionControl(int modelConnectionId) {
  return modelConnectionId >= IDC_FIRST_CONNECTION && modelConnectionId <= IDC_LAST_CONNECTION;
}
