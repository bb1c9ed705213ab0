// A second, independent reader of saved drawings for the end-to-end tests: dxflib reads
// the file and this prints what it found, one line each, names as the file holds them:
// "layer NAME", "linetype NAME DASHES", "block NAME", "entity BLOCK KIND LAYER",
// "variable NAME VALUE", "xdata APP". Exit code 1 when dxflib cannot read the file.
// With --write R12|R2000 OUT.dxf it writes a drawing as dxflib does instead, for the
// corpus of foreign drawings; its last header variable after the header's end, as files
// of programs that call dxflib in that order have.
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

int write(const std::string& version, const char* path) {
  DL_Dxf dxf;
  std::unique_ptr<DL_WriterA> dw(dxf.out(path, version == "R12" ? DL_Codes::AC1009 : DL_Codes::AC1015));
  if (!dw) return 1;
  dxf.writeHeader(*dw);
  dw->sectionEnd();
  dw->dxfString(9, "$INSUNITS");
  dw->dxfInt(70, 4);
  dw->sectionTables();
  dxf.writeVPort(*dw);
  dw->tableLinetypes(3);
  for (const char* name : {"BYBLOCK", "BYLAYER", "CONTINUOUS"}) dxf.writeLinetype(*dw, DL_LinetypeData(name, "", 0, 0, 0));
  dw->tableEnd();
  dw->tableLayers(2);
  dxf.writeLayer(*dw, DL_LayerData("0", 0), DL_Attributes("0", 7, -1, 15, "CONTINUOUS"));
  dxf.writeLayer(*dw, DL_LayerData("Walls", 0), DL_Attributes("Walls", 3, -1, 15, "CONTINUOUS"));
  dw->tableEnd();
  dw->tableStyle(1);
  dxf.writeStyle(*dw, DL_StyleData("Standard", 0, 0, 1, 0, 0, 2.5, "txt", ""));
  dw->tableEnd();
  dxf.writeView(*dw);
  dxf.writeUcs(*dw);
  dw->tableAppid(1);
  dxf.writeAppid(*dw, "ACAD");
  dw->tableEnd();
  dxf.writeDimStyle(*dw, 1, 1, 1, 1, 1);
  dxf.writeBlockRecord(*dw);
  dxf.writeBlockRecord(*dw, "valve");
  dw->tableEnd();
  dw->sectionEnd();
  dw->sectionBlocks();
  for (const char* layout : {"*Model_Space", "*Paper_Space"}) {
    dxf.writeBlock(*dw, DL_BlockData(layout, 0, 0.0, 0.0, 0.0));
    dxf.writeEndBlock(*dw, layout);
  }
  DL_Attributes byLayer("0", 256, -1, -1, "BYLAYER");
  dxf.writeBlock(*dw, DL_BlockData("valve", 0, 0.0, 0.0, 0.0));
  dxf.writeLine(*dw, DL_LineData(0, 0, 0, 1, 1, 0), byLayer);
  dxf.writeCircle(*dw, DL_CircleData(0.5, 0.5, 0, 0.25), byLayer);
  dxf.writeEndBlock(*dw, "valve");
  dw->sectionEnd();
  dw->sectionEntities();
  dxf.writeLine(*dw, DL_LineData(0, 0, 0, 10, 5.5, 0), DL_Attributes("Walls", 256, -1, -1, "BYLAYER"));
  dxf.writeCircle(*dw, DL_CircleData(1, 2, 0, 3.25), DL_Attributes("0", 1, -1, -1, "BYLAYER"));
  dxf.writeArc(*dw, DL_ArcData(4, 4, 0, 2, 10, 100), byLayer);
  dxf.writeText(*dw, DL_TextData(1, 1, 0, 0, 0, 0, 2.5, 1, 0, 0, 0, "Pumpe", "Standard", 0), byLayer);
  dxf.writeInsert(*dw, DL_InsertData("valve", 5, 5, 0, 1, 1, 1, 30.5, 1, 1, 0, 0), byLayer);
  dxf.writePolyline(*dw, DL_PolylineData(3, 0, 0, 0), byLayer);
  for (int i = 0; i < 3; ++i) dxf.writeVertex(*dw, DL_VertexData(i, i * i, 0, 0));
  dxf.writePolylineEnd(*dw);
  dw->sectionEnd();
  if (version != "R12") {
    dxf.writeObjects(*dw);
    dxf.writeObjectsEnd(*dw);
  }
  dw->dxfEOF();
  dw->close();
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--write") return write(argv[2], argv[3]);
  if (argc != 2) {
    std::fprintf(stderr, "usage: dxfcheck DRAWING.dxf | dxfcheck --write R12|R2000 OUT.dxf\n");
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
