#include "report.h"

#include <exception>
#include <string>
#include "text.h"

static void reportMessage(const char* context, const char* message) {
  printMessage("\n%s: %s %s\n", "Zephyr", context, message ? message : "");
}

void reportCurrentException(const char* context) {
  try {
    throw;
  } catch (const std::exception& e) {
    reportMessage(context, e.what());
  } catch (const std::string& e) {
    reportMessage(context, e.c_str());
  } catch (const char* e) {
    reportMessage(context, e);
  } catch (...) {
    printMessage("\n%s: %s\n", "Zephyr", context);
  }
}
