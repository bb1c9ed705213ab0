// Ids of the test dialog (test_dialog.rc), read by the resource compiler too.
#pragma once
#define ID_APPLY 3
#define ID_PICTURE 100
#define ID_LIST 200
#define ID_COMBO 210
#define ID_LOCKED_COMBO 211
#define ID_HIDDEN_COMBO 212
#define ID_LEFT_TEXT 301
#define ID_RIGHT_TEXT 303
#define ID_FRAME 456
