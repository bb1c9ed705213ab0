// The one report of a failure thrown inside a task: call it only from a handler that
// catches everything. It prints "\nZephyr: <context> <message>\n" for an XML fault, a
// std::exception, a std::string or a char* message, and "\nZephyr: <context>\n" for
// anything else. The XML reader's faults are std::exceptions whose text is the
// library's description.
#pragma once

void reportCurrentException(const char* context);
