// The dialog that waits while the user exports a unit in the browser.
#pragma once

// 0 when the user chose Import, -1 otherwise.
int showAcceptDialog();
