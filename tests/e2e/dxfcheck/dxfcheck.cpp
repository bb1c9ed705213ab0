// A second, independent reader of saved drawings for the end-to-end tests: dxflib reads
// the file and this prints what it found, one line each, names as the file holds them:
// "layer NAME", "linetype NAME DASHES", "block NAME", "entity BLOCK KIND LAYER",
// "variable NAME VALUE", "xdata APP". Exit code 1 when dxflib cannot read the file.
#include <dl_creationadapter.h>
#include <dl_dxf.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

namespace {

class Printer : public DL_CreationAdapter {
 public:
  void addLayer(const DL_LayerData& d) override { out("layer " + d.name); }
  // dxflib reports a linetype's dashes before the linetype itself.
  void addLinetypeDash(double) override { ++m_dashes; }
  void addLinetype(const DL_LinetypeData& d) override {
    out("linetype " + d.name + " " + std::to_string(m_dashes));
    m_dashes = 0;
  }
  void addBlock(const DL_BlockData& d) override {
    m_block = d.name;
    out("block " + d.name);
  }
  void endBlock() override { m_block = "*"; }
  void addPoint(const DL_PointData&) override { entity("POINT"); }
  void addLine(const DL_LineData&) override { entity("LINE"); }
  void addXLine(const DL_XLineData&) override { entity("XLINE"); }
  void addRay(const DL_RayData&) override { entity("RAY"); }
  void addArc(const DL_ArcData&) override { entity("ARC"); }
  void addCircle(const DL_CircleData&) override { entity("CIRCLE"); }
  void addEllipse(const DL_EllipseData&) override { entity("ELLIPSE"); }
  void addPolyline(const DL_PolylineData&) override { entity("POLYLINE"); }
  void addVertex(const DL_VertexData&) override { entity("VERTEX"); }
  void addSpline(const DL_SplineData&) override { entity("SPLINE"); }
  void addInsert(const DL_InsertData& d) override { entity("INSERT " + d.name); }
  void addTrace(const DL_TraceData&) override { entity("TRACE"); }
  void add3dFace(const DL_3dFaceData&) override { entity("3DFACE"); }
  void addSolid(const DL_SolidData&) override { entity("SOLID"); }
  void addMText(const DL_MTextData&) override { entity("MTEXT"); }
  void addText(const DL_TextData& d) override { entity("TEXT " + d.text); }
  void addAttribute(const DL_AttributeData& d) override { entity("ATTRIB " + d.tag); }
  void addDimAlign(const DL_DimensionData&, const DL_DimAlignedData&) override { entity("DIMENSION"); }
  void addDimLinear(const DL_DimensionData&, const DL_DimLinearData&) override { entity("DIMENSION"); }
  void addDimRadial(const DL_DimensionData&, const DL_DimRadialData&) override { entity("DIMENSION"); }
  void addDimDiametric(const DL_DimensionData&, const DL_DimDiametricData&) override { entity("DIMENSION"); }
  void addDimAngular(const DL_DimensionData&, const DL_DimAngular2LData&) override { entity("DIMENSION"); }
  void addDimAngular3P(const DL_DimensionData&, const DL_DimAngular3PData&) override { entity("DIMENSION"); }
  void addDimOrdinate(const DL_DimensionData&, const DL_DimOrdinateData&) override { entity("DIMENSION"); }
  void addLeader(const DL_LeaderData&) override { entity("LEADER"); }
  void addHatch(const DL_HatchData&) override { entity("HATCH"); }
  void addImage(const DL_ImageData&) override { entity("IMAGE"); }
  void addXDataApp(const std::string& app) override { out("xdata " + app); }
  void setVariableVector(const std::string& key, double v1, double v2, double v3, int) override {
    std::ostringstream s;
    s << "variable " << key << " " << v1 << "," << v2 << "," << v3;
    out(s.str());
  }
  void setVariableString(const std::string& key, const std::string& value, int) override {
    out("variable " + key + " " + value);
  }
  void setVariableInt(const std::string& key, int value, int) override {
    out("variable " + key + " " + std::to_string(value));
  }
  void setVariableDouble(const std::string& key, double value, int) override {
    std::ostringstream s;
    s << "variable " << key << " " << value;
    out(s.str());
  }

 private:
  void entity(const std::string& what) { out("entity " + m_block + " " + what + " " + attributes.getLayer()); }
  static void out(const std::string& line) { std::cout << line << '\n'; }
  std::string m_block = "*";
  int m_dashes = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dxfcheck DRAWING.dxf\n");
    return 2;
  }
  Printer printer;
  auto dxf = std::make_unique<DL_Dxf>();
  if (!dxf->in(argv[1], &printer)) {
    std::fprintf(stderr, "dxflib cannot read %s\n", argv[1]);
    return 1;
  }
  return 0;
}
