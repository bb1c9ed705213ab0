// What the system printed, taken from the host's test session.
#include "print_capture.h"

#include "hosttest.h"

std::string takePrinted() { return cadhost::takeOutput(); }
