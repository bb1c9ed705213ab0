// Straight ducts between a unit connection and the external component placed on its duct.
#pragma once
#include <string>
#include "acge.h"
#include "unitrecord.h"
#include "xmlwriter.h"

// Tolerances: sizes are equal within kDuctSizeTolerance (distance of the size triples);
// the inlet is on the parent connection's line within kDuctLineAngle radians.
const double kDuctSizeTolerance = 1e-6;
const double kDuctLineAngle = 1e-5;

// System type id of a duct on the air path of the connection type: 0 on the supply path,
// 1 otherwise.
int dc_duct_system_type(ConnectionType type);

// Draws the duct from the parent connection's stub to the component's inlet branch when
// the two have the same size, face each other and lie on one line; otherwise nothing.
// 0 (also when no duct was needed or possible, and when the duct was refused: reported
// under "Failed to create pipe"); -1 failed (reported under "Can't connect connections by
// duct").
int dc_connect_by_duct(const GraphicalPart& parent, const DuctConnectionData& parentConnection,
                       const GraphicalPart& component, const DuctConnectionData& inlet,
                       const std::string& serieId, ConnectionType parentType);

// One duct end each: "<ConnectedTo>handle</ConnectedTo><Position><WCS>x y z</WCS></Position>"
// (writers cleared first, handles escaped).
void dc_duct_end_pair(xmlStringWriter& endA, xmlStringWriter& endB, const char* handleA,
                      const AcGePoint3d& pointA, const char* handleB, const AcGePoint3d& pointB);

// Creates a duct between the two ends (XML fragments). Width is the diameter of a round
// duct (height below 1e-6); depth is not sent. The new duct's handle; "" when it failed
// (reported under "Failed to create pipe").
std::string dc_create_duct(const char* endA, const char* endB, int systemId, int systemTypeId,
                           const AcGeVector3d& normal, const char* serieId, double width, double height,
                           double depth, double bendCoefficient, bool locked);
