// The unit information dialog's fixed tables; its control ids are the template's
// (resource.h).
#pragma once
#include "resource.h"
#include "unitrecord.h"

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
