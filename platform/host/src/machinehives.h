// A machine folder's registry hives (user.reg for HKEY_CURRENT_USER, system.reg for
// HKEY_LOCAL_MACHINE with HKEY_CLASSES_ROOT) in the platform's own registry, for a host
// whose registry is the real one: imported at the start of a session, and the session's
// keys written back at its end in the same export format, so the files read the same
// after a session on either platform.
#pragma once
#include <string>

namespace cadhost {

// Writes every key and value of the folder's hive files into the registry, and
// remembers the folder, the files as read and the time the session began. A missing file
// is an empty hive; a file that cannot be read or parsed is reported, left out of the
// registry and never written back. 0, or -1 when the registry cannot be written.
int importMachineHives(const std::string& folder);

// Writes each hive file anew (safely: the old file or the new one, never a mixture) when
// its keys differ from what was imported: the imported keys as they are now, and every
// key the session wrote, with their values. Keys the file did not name and the session did
// not write are the platform's own and are left out. 0, or -1 when a file could not be
// written (reported).
int exportMachineHives();

}  // namespace cadhost
