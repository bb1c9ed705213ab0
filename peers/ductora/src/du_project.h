// Ductora's project: systems, duct series and parts, kept in NAME.ductora.xml beside the
// drawing NAME.dxf. Parts are named by the drawing handle of their entity (upper-case
// hexadecimal text without leading zeros).
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "du_vec.h"

struct DuSystem {
  int id = 0;
  std::string typeId;  // decimal text: 0 supply, 1 extract, 2 exhaust, 3 outdoor
  std::string name;
};

struct DuSerie {
  std::string id;
  std::string name;
  std::vector<std::string> sizes;  // "100", "400x200"
};

// One connection of a stub or one end of a duct.
struct DuConnection {
  DuVec position, direction{1, 0, 0}, normal{0, 0, 1};
  int shape = 0;  // 0 round, 1 rectangular
  int width = 0, height = 0, diameter = 0;
  std::string connectedTo;  // duct ends: the handle of the part the end meets, or empty
};

struct DuPart {
  std::string handle;
  std::string className;   // "DURAPathwayConnector", "DURACustomPart", ...
  std::string typeDefine;  // "EWAPART_UNTYPEDFITTING", "EWAPART_CUSTOM", ...
  int systemId = -1;
  int systemTypeId = -1;   // ducts: the type id the request gave
  double pressure = 0;     // Pa, sizing pressure demand
  double airflow = 0;      // l/s, sizing flow
  DuVec position, direction{1, 0, 0}, normal{0, 0, 1};
  std::string functionName;  // connection stubs: "Fan", "Plug", "NBranch"
  std::string parentPart;
  std::string partList;      // product package: handles separated by single spaces
  std::string moveBehaviour;
  std::string layer = "0";
  std::string blockName;             // geometry source: a block of the drawing
  std::vector<uint8_t> gmModel;      // or a display list (28-byte elements)
  std::string linetypeDef;
  std::string productCode, description, customPartType;
  std::vector<double> soundGeneration, soundAttenuation;  // 8 octave bands, or empty
  std::vector<DuConnection> connections;
  std::string serieId;  // ducts
  int shape = 0, width = 0, height = 0, diameter = 0;
  double bendCoefficient = 0;
  bool lockedSize = false;
};

struct DuProject {
  long version = 20110101;
  bool open = true;
  bool drawingObject = true;      // register "DuraComSrv.Drawing" when the module loads
  bool applicationObject = true;  // register "DuraComSrv.Ductora"
  std::string refuse;             // refusal rules on demand (du_refuse.h)
  std::vector<DuSystem> systems;
  std::vector<DuSerie> series;
  std::vector<DuPart> parts;
};

// The project file of a drawing: the drawing's path without its extension, then
// ".ductora.xml"; the journal likewise with ".ductora.log". Empty for an unnamed drawing.
std::string du_project_path(const std::string& drawingPath);
std::string du_journal_path(const std::string& projectPath);

// 0 read; 1 no such file (project left at its defaults); -1 the file cannot be read or
// is not a project (error says why; project left at its defaults).
int du_project_load(const std::string& path, DuProject& project, std::string& error);
// The same for the file's text: 0, or -1 with error.
int du_project_parse(const std::string& text, DuProject& project, std::string& error);
// The file's text of the project.
std::string du_project_text(const DuProject& project);
// Saves the project so that a crash never costs the file (a temporary beside it, renamed
// into place; see standin::SafeSave): a symbolic link at path is replaced, never followed,
// and an existing file's permissions are kept. 0, or -1 (error says why; the old file is
// untouched).
int du_project_save(const std::string& path, const DuProject& project, std::string& error);

DuPart* du_find_part(DuProject& project, const std::string& handle);
const DuSystem* du_find_system(const DuProject& project, int id);
DuSerie* du_find_serie(DuProject& project, const std::string& id);
