// Inside teksolid: the parsed model, its expressions and statements.
#pragma once
#include "teksolid.h"

#include <string>
#include <vector>

namespace teksolid {

// Reader limits.
constexpr double kMaxMagnitude = 1e9;
constexpr int kMaxNesting = 64;
constexpr size_t kMaxParameters = 256;
constexpr size_t kMaxStatements = 20000;
constexpr size_t kMaxPoints = 1000;
constexpr size_t kMaxNameLength = 31;
constexpr int kSegments = 16;

struct Expr {
  enum Kind { Number, Param, Neg, Add, Sub, Mul, Div } kind = Number;
  double value = 0;  // Number
  int param = -1;    // Param
  int a = -1, b = -1;
};

struct Parameter {
  std::string name;
  long long value = 0;
};

using Triple = std::vector<int>;  // three expression indices

enum class Kind { Box, Cylinder, Circle, Arc, Line, Face, Connection };

struct Statement {
  Kind kind = Kind::Box;
  int pen = -1;   // expression, or -1 for the kind's default pen
  int when = -1;  // expression, or -1 for always
  Triple a, b, c;                 // origin/base/centre/at; size/axis/normal/dir; major/normal
  int r = -1, len = -1;           // radius, length (cylinder); diameter, collar (connection)
  int start = -1, end = -1, ratio = -1;
  Triple rect;                    // two expressions (connection)
  std::vector<Triple> points;     // line, face
  int closed = -1;
  int slot = 0;                   // connection: 1..8
  int typeParam = -1;             // connection: parameter P<slot>
};

}  // namespace teksolid

struct ts_model {
  std::vector<teksolid::Parameter> params;
  std::vector<teksolid::Expr> exprs;
  std::vector<teksolid::Statement> statements;
  std::vector<ts_material> materials;
  std::vector<int> materialExprs;  // 7 per material: kind, r, g, b, flags, ambient, diffuse
  double lineWidth = 0;
  int view[3] = {-1, -1, -1};
};

namespace teksolid {

// Parses a block into model; false when it does not parse.
bool parseBlock(const char* text, size_t size, ts_model& model);
// Evaluates every expression of the model with its current parameters into values (by
// expression index); false on a value beyond kMaxMagnitude or a division by zero.
// Expressions only refer to earlier ones, so one forward pass does it, without recursion.
bool evaluateAll(const ts_model& model, std::vector<double>& values);
int findParameter(const ts_model& model, const std::string& name);
// Writes every statement's geometry: false when a value does not evaluate.
bool drawModel(const ts_model& model, const std::vector<double>& values, gm_model* out);

}  // namespace teksolid
