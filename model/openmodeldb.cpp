#include "openmodeldb.h"

#include "modeldb.h"
#include "tekcore.h"
#include "text.h"

int openModelDatabase(UnitRecord& unit, const SelectorSettings& settings) {
  unit.productDb = -1;
  if (retrieveModelDatabase(unit.modelDatabaseUrl, settings) < 0) return -1;
  unit.productDb = tc_open_database(modelDictionaryPath(), modelDatabasePath(), 0);
  if (unit.productDb >= 0) return 0;

  // The local copies may be stale or damaged: fetch them once more.
  deleteModelFiles();
  if (retrieveModelDatabase(unit.modelDatabaseUrl, settings) < 0) return -2;
  unit.productDb = tc_open_database(modelDictionaryPath(), modelDatabasePath(), 0);
  if (unit.productDb >= 0) return 0;

  printMessage("Zephyr: Database is updated. Please, create new .xml-file.\n");
  deleteModelFiles();
  return -3;
}
