// Guards the model reader: strict refusal of bad blocks, safe parameter changes, and the geometry groups ts_draw writes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "teksolid.h"

namespace {

const char* const kBox =
    "teksolid 1\n"
    "param L = 1000   # length\n"
    "param W = 500\n"
    "param P1 = 1\n"
    "param P2 = 0\n"
    "param P3 = 3\n"
    "param D = 200\n"
    "linewidth = 3.7\n"
    "view = (1, -2, 0.5)\n"
    "material kind=1 colour=(10, 20, 30) flags=2 ambient=0.3 diffuse=0.7\n"
    "material kind=0\n"
    "box origin=(-L/2, -W/2, 0) size=(L, W, 300)\n"
    "face points=((0,0,300), (10,0,300), (10,10,300)) pen=3 when=cat\n"
    "connection slot=1 at=(L/2, 0, 150) dir=(1, 0, 0) normal=(0, 0, 1) collar=50\n"
    "connection slot=2 at=(-L/2, 0, 150) dir=(-1, 0, 0) normal=(0, 0, 1)\n"
    "connection slot=3 at=(0, 0, 300) dir=(0, 0, 2) normal=(1, 0, 0.5) rect=(100, 50)\n";

ts_model* create(const std::string& text, int16_t* count = nullptr) {
  return ts_create_model(0, text.data(), static_cast<long>(text.size()), count);
}

struct Drawn {
  gm_model list;
  Drawn() { gm_model_init(&list); }
  ~Drawn() { gm_model_free(&list); }
  int countCode(int code) const {
    int n = 0;
    for (int i = 0; i < list.count; ++i) n += list.items[i].code == code;
    return n;
  }
  double maxX() const {
    double m = -1e300;
    for (int i = 0; i < list.count; ++i)
      if (list.items[i].code == GM_FACE || list.items[i].code == GM_FACE_VERTEX ||
          list.items[i].code == GM_FACE_LAST)
        m = std::fmax(m, list.items[i].x);
    return m;
  }
};

}  // namespace

TEST(TsCreate, RefusesBlocksThatDoNotParse) {
  const char* bad[] = {
      "",                                              // empty
      "param L = 1\n",                                 // no format line
      "teksolid 2\n",                                  // unknown format
      "teksolid 1\nsphere centre=(0,0,0)\n",          // unknown statement
      "teksolid 1\nbox origin=(0,0,0)\n",             // missing field
      "teksolid 1\nbox origin=(0,0,0) size=(1,1,1) size=(1,1,1)\n",  // field twice
      "teksolid 1\nbox origin=(0,0,0) size=(1,1,1) colour=2\n",      // unknown field
      "teksolid 1\nbox origin=(0,0,0) size=(X,1,1)\n",              // undeclared name
      "teksolid 1\nbox origin=(0,0,0) size=(1,1)\n",                // pair for a triple
      "teksolid 1\nbox origin=(0,0,0) size=(1,1,1)) \n",            // stray parenthesis
      "teksolid 1\nbox origin=(0,0,0) size=(1/0,1,1)\n",            // division by zero
      "teksolid 1\nbox origin=(0,0,0) size=(99999999999,1,1)\n",    // huge number
      "teksolid 1\nparam A = 100000\nbox origin=(0,0,0) size=(A*A*A,1,1)\n",  // overflow
      "teksolid 1\nparam A = 1\nparam A = 2\n",                     // declared twice
      "teksolid 1\nparam A = 1.5\n",                                 // not an integer
      "teksolid 1\nconnection slot=1 at=(0,0,0) dir=(1,0,0) normal=(0,0,1)\n",  // no P1
      "teksolid 1\nparam P9 = 1\nconnection slot=9 at=(0,0,0) dir=(1,0,0) normal=(0,0,1)\n",
      "teksolid 1\nline points=((0,0,0))\n",                        // one point
      "teksolid 1\nface points=((0,0,0),(1,0,0))\n",                // two vertices
      "teksolid 1\nlinewidth = -2\n",
      "teksolid 1\nbox origin=(0,0,0) size=(1,1,1) @\n",            // foreign character
  };
  for (const char* text : bad) {
    int16_t count = 7;
    EXPECT_EQ(create(text, &count), nullptr) << text;
    EXPECT_EQ(count, 0) << text;
  }
  std::string deep = "teksolid 1\nbox origin=(0,0,0) size=(" + std::string(200, '(') + "1" +
                     std::string(200, ')') + ",1,1)\n";
  EXPECT_EQ(create(deep), nullptr);
  std::string nul = std::string(kBox) + std::string(1, '\0') + "box\n";
  EXPECT_EQ(create(nul), nullptr);
  EXPECT_EQ(ts_create_model(0, nullptr, 10, nullptr), nullptr);
  EXPECT_EQ(ts_create_model(0, kBox, -1, nullptr), nullptr);
}

TEST(TsCreate, ReadsAValidBlockWithAStoredTerminator) {
  int16_t count = 0;
  ts_model* m = ts_create_model(0, kBox, static_cast<long>(std::strlen(kBox) + 1), &count);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(count, 5);
  EXPECT_DOUBLE_EQ(ts_line_width(m), 3.7);
  double view[3];
  ASSERT_EQ(ts_default_view(m, view), 0);
  EXPECT_EQ(view[1], -2);
  ts_free_model(m);
  // A long chain of terms is read and evaluated without deep recursion.
  std::string chain = "teksolid 1\nbox origin=(0,0,0) size=(1";
  for (int i = 0; i < 20000; ++i) chain += "+1";
  chain += ",1,1)\n";
  m = create(chain);
  ASSERT_NE(m, nullptr);
  Drawn d;
  ASSERT_EQ(ts_draw(m, &d.list), 0);
  EXPECT_DOUBLE_EQ(d.maxX(), 20001);
  ts_free_model(m);
}

TEST(TsParameter, UnknownOrBadValuesChangeNothing) {
  ts_model* m = create(kBox);
  ASSERT_NE(m, nullptr);
  long v = 0;
  EXPECT_EQ(ts_set_parameter(m, "NOPE", "1"), -1);
  EXPECT_EQ(ts_set_parameter(m, "", "1"), -1);
  EXPECT_EQ(ts_set_parameter(m, "L", "12abc"), -2);
  EXPECT_EQ(ts_set_parameter(m, "L", ""), -2);
  EXPECT_EQ(ts_set_parameter(m, "L", "99999999999"), -2);
  EXPECT_EQ(ts_set_parameter(m, "L", "2.5"), -2);
  ASSERT_EQ(ts_get_parameter(m, "L", &v), 0);
  EXPECT_EQ(v, 1000);
  EXPECT_EQ(ts_set_parameter(m, "L", " 1200 "), 0);
  ASSERT_EQ(ts_get_parameter(m, "L", &v), 0);
  EXPECT_EQ(v, 1200);
  ts_free_model(m);

  // A value that would divide by zero is refused and the old value stays usable.
  m = create("teksolid 1\nparam N = 2\nbox origin=(0,0,0) size=(100/N,1,1)\n");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(ts_set_parameter(m, "N", "0"), -3);
  Drawn d;
  ASSERT_EQ(ts_draw(m, &d.list), 0);
  EXPECT_DOUBLE_EQ(d.maxX(), 50);
  EXPECT_EQ(ts_set_parameter(nullptr, "N", "1"), -1);
  ts_free_model(m);
}

TEST(TsDraw, ParametersShapeTheGeometry) {
  ts_model* m = create(kBox);
  ASSERT_NE(m, nullptr);
  Drawn before, after;
  ASSERT_EQ(ts_draw(m, &before.list), 0);
  EXPECT_DOUBLE_EQ(before.maxX(), 500);  // the collar of slot 1 ends at its point, L/2
  ASSERT_EQ(ts_set_parameter(m, "L", "3000"), 0);
  ASSERT_EQ(ts_draw(m, &after.list), 0);
  EXPECT_DOUBLE_EQ(after.maxX(), 1500);
  gm_point p;
  gm_vector dir, n;
  ASSERT_EQ(gm_get_connection(&after.list, 201, &p, &dir, &n, 0, 0, 0, 0), 0);
  EXPECT_DOUBLE_EQ(p.x, 1500);
  // The same block read again (a copy of the last one read) has the block's own values,
  // and what is done to one model leaves the other as it was.
  ts_model* again = create(kBox);
  ASSERT_NE(again, nullptr);
  Drawn fresh;
  ASSERT_EQ(ts_draw(again, &fresh.list), 0);
  EXPECT_DOUBLE_EQ(fresh.maxX(), 500);
  ts_free_model(m);
  ASSERT_EQ(ts_set_parameter(again, "L", "2000"), 0);
  Drawn changed;
  ASSERT_EQ(ts_draw(again, &changed.list), 0);
  EXPECT_DOUBLE_EQ(changed.maxX(), 1000);
  ts_free_model(again);
}

TEST(TsDraw, ConnectionsFollowTheirTypeParameters) {
  ts_model* m = create(kBox);
  ASSERT_NE(m, nullptr);
  {
    Drawn d;
    ASSERT_EQ(ts_draw(m, &d.list), 0);
    gm_point p;
    gm_vector dir, n;
    EXPECT_EQ(gm_get_connection(&d.list, 201, &p, &dir, &n, 0, 0, 0, 0), 0);
    EXPECT_NE(gm_get_connection(&d.list, 202, &p, &dir, &n, 0, 0, 0, 0), 0);  // P2 = 0
    ASSERT_EQ(gm_get_connection(&d.list, 203, &p, &dir, &n, 0, 0, 0, 0), 0);
    // Direction made unit, normal made square to it.
    EXPECT_DOUBLE_EQ(dir.z, 1);
    EXPECT_DOUBLE_EQ(n.x, 1);
    EXPECT_DOUBLE_EQ(n.z, 0);
    EXPECT_EQ(d.countCode(GM_RUN_START), 1);  // the rectangle of slot 3
    EXPECT_EQ(d.countCode(GM_CIRCLE), 2);     // collar ends of slot 1; slot 2 is left out
  }
  ASSERT_EQ(ts_set_parameter(m, "P3", "5"), 0);  // an extract plug is point 249
  Drawn d;
  ASSERT_EQ(ts_draw(m, &d.list), 0);
  EXPECT_NE(gm_get_connection(&d.list, 203, nullptr, nullptr, nullptr, 0, 0, 0, 0), 0);
  EXPECT_EQ(gm_get_connection(&d.list, 249, nullptr, nullptr, nullptr, 0, 0, 0, 0), 0);
  ts_free_model(m);
}

TEST(TsDraw, CategoryZeroLeavesOutDetail) {
  ts_model* m = create(kBox);
  ASSERT_NE(m, nullptr);
  Drawn full, bare;
  ASSERT_EQ(ts_draw(m, &full.list), 0);
  ASSERT_EQ(ts_set_parameter(m, "cat", "0"), 0);
  ASSERT_EQ(ts_draw(m, &bare.list), 0);
  EXPECT_EQ(full.countCode(GM_FACE) - bare.countCode(GM_FACE), 1);  // the triangle
  ts_free_model(m);
}

TEST(TsDraw, WritesWellFormedGroups) {
  ts_model* m = create(std::string(kBox) +
                       "cylinder base=(0,0,0) axis=(0,0,1) radius=50 length=100\n"
                       "arc centre=(0,0,0) normal=(0,0,1) major=(10,0,0) start=0 end=90 ratio=0.5\n"
                       "line points=((0,0,0),(1,0,0),(1,1,0)) closed=1\n");
  ASSERT_NE(m, nullptr);
  Drawn d;
  ASSERT_EQ(ts_draw(m, &d.list), 0);
  const gm_element* e = d.list.items;
  int faces = 0;
  for (int i = 0; i < d.list.count;) {
    switch (e[i].code) {
      case GM_FACE: {
        int n = e[i + 2].code == GM_FACE_VERTEX ? 4 : 3;
        EXPECT_EQ(e[i + n - 1].code, GM_FACE_LAST);
        ++faces;
        i += n;
        break;
      }
      case GM_CIRCLE:
        EXPECT_EQ(e[i + 1].code, GM_CIRCLE_NORMAL);
        EXPECT_GT(double(e[i + 2].x), 0);
        i += 3;
        break;
      case GM_ARC:
        EXPECT_EQ(e[i + 3].code, GM_ARC_ANGLES);
        EXPECT_NEAR(double(e[i + 3].y), M_PI / 2, 1e-12);  // end angle in radians
        EXPECT_DOUBLE_EQ(double(e[i + 3].z), 0.5);        // ratio in z
        i += 4;
        break;
      case GM_RUN_START: {
        int j = i + 1;
        while (e[j].code != GM_RUN_END) ++j;
        i = j + 1;
        break;
      }
      case GM_CONNECTION:
        EXPECT_EQ(e[i + 2].code, GM_CONNECTION_NORMAL);
        i += 3;
        break;
      default:
        ADD_FAILURE() << "element " << i << " code " << e[i].code << " starts no group";
        i = d.list.count;
    }
  }
  EXPECT_EQ(faces, 6 + 1 + 2 * (16 + 32));  // box, triangle, cylinder and collar: sides, caps
  for (int i = 0; i < d.list.count; ++i) ASSERT_TRUE(std::isfinite(e[i].x + e[i].y + e[i].z));
  ts_free_model(m);
}

TEST(TsMaterial, RecordsAre45BytesAndIndexed) {
  EXPECT_EQ(sizeof(ts_material), 45u);
  ts_model* m = create(kBox);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(ts_material_count(m), 2);
  ts_material rec;
  ASSERT_EQ(ts_get_material(m, 0, &rec), 0);
  EXPECT_EQ(rec.kind, 1);
  EXPECT_EQ(rec.colour, 10 | (20 << 8) | (30 << 16));
  EXPECT_EQ(rec.flags, 2);
  EXPECT_DOUBLE_EQ(rec.ambient, 0.3);
  ASSERT_EQ(ts_get_material(m, 1, &rec), 0);
  EXPECT_EQ(rec.kind, 0);  // declared but no material: the caller skips it
  EXPECT_NE(ts_get_material(m, 2, &rec), 0);
  EXPECT_NE(ts_get_material(m, -1, &rec), 0);
  EXPECT_EQ(ts_material_count(nullptr), 0);
  ts_free_model(m);
}
