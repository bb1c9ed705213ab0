// The dialog that waits while the user exports a unit in the browser ("DLG_ACCEPT_CHANGES",
// modal, owned by the host's main window, captioned "Zephyr" and the module's version).
// It looks at neither the browser nor the server: Import only lets the command go on.
#pragma once

// 0 when the user chose Import; -1 for Close, the frame's close box, Escape, or a dialog
// that cannot be shown.
int showAcceptDialog();
