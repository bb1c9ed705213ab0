// The text of an XML file in the process's code page (UTF-8), whatever the file's own
// encoding: one declared in its XML declaration (ISO-8859-1, windows-1252, or any other
// the platform converts), or, without a declaration, windows-1252 when the bytes are not
// UTF-8. The converted text declares UTF-8, so the parser reads it as such.
#pragma once
#include <string>

// The document as UTF-8 text; a document that is UTF-8 already (or declares an encoding
// the platform does not know) comes back unchanged.
std::string xmlToUtf8(const std::string& bytes);
