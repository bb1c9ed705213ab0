// Guards the geometry library: frame order and inversion, display-list growth, copies and connection look-up.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "tekshape.h"

namespace {

void expectNear(const double* got, double x, double y, double z) {
  EXPECT_NEAR(got[0], x, 1e-9);
  EXPECT_NEAR(got[1], y, 1e-9);
  EXPECT_NEAR(got[2], z, 1e-9);
}

// A frame from origin and X and Z axes, Y = Z x X (right-handed).
gm_frame frameOf(double ox, double oy, double oz, gm_vector x, gm_vector z) {
  gm_frame f;
  gm_frame_init(&f);
  gm_vector y;
  gm_vector_cross(&z, &x, &y);
  gm_frame_set_origin(&f, ox, oy, oz);
  gm_frame_set_xaxis(&f, x.x, x.y, x.z);
  gm_frame_set_yaxis(&f, y.x, y.y, y.z);
  gm_frame_set_zaxis(&f, z.x, z.y, z.z);
  return f;
}

}  // namespace

TEST(GmElement, IsPacked28Bytes) {
  EXPECT_EQ(sizeof(gm_element), 28u);
  EXPECT_EQ(offsetof(gm_element, pen), 2u);
  EXPECT_EQ(offsetof(gm_element, x), 4u);
  EXPECT_EQ(offsetof(gm_element, z), 20u);
  EXPECT_EQ(sizeof(gm_frame), 128u);
}

TEST(GmFrame, MultiplyAppliesSecondFactorInsideFirst) {
  // a: placement at (100, 0, 0) turned 90 degrees about Z; b: a move of 10 along X.
  gm_frame a = frameOf(100, 0, 0, {0, 1, 0}, {0, 0, 1});
  gm_frame b = frameOf(10, 0, 0, {1, 0, 0}, {0, 0, 1});
  gm_frame out;
  gm_frame_multiply(&a, &b, &out);
  double o[3];
  gm_frame_get_origin(&out, o);
  expectNear(o, 100, 10, 0);  // b's move happens along a's X axis, which is world Y
  // Accumulating into the first operand (the placement code's habit) gives the same.
  gm_frame_multiply(&a, &b, &a);
  gm_frame_get_origin(&a, o);
  expectNear(o, 100, 10, 0);
  gm_frame c = frameOf(0, 0, 0, {1, 0, 0}, {0, 0, 1});
  gm_frame_multiply(&b, &c, &c);  // into the second operand
  gm_frame_get_origin(&c, o);
  expectNear(o, 10, 0, 0);
}

TEST(GmFrame, InvertUndoesAFrameAndRefusesSingular) {
  gm_vector x{0.6, 0.8, 0}, z{0, 0, 1};
  gm_frame f = frameOf(5, -7, 3, x, z);
  f.m[0][0] *= 2;  // not rigid: the general inverse is needed
  gm_frame inv, product;
  ASSERT_EQ(gm_frame_invert(&f, &inv), 0);
  gm_frame_multiply(&f, &inv, &product);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(product.m[i][j], i == j ? 1.0 : 0.0, 1e-12);
  gm_point p{1, 2, 3}, moved, back;
  gm_frame_transform_point(&f, &p, &moved);
  gm_frame_transform_point(&inv, &moved, &back);
  EXPECT_NEAR(back.x, 1, 1e-9);
  EXPECT_NEAR(back.y, 2, 1e-9);
  EXPECT_NEAR(back.z, 3, 1e-9);
  ASSERT_EQ(gm_frame_invert(&f, &f), 0);  // in place

  gm_frame singular;
  gm_frame_init(&singular);
  gm_frame_set_zaxis(&singular, 0, 0, 0);
  gm_frame untouched;
  gm_frame_init(&untouched);
  untouched.m[0][3] = 42;
  EXPECT_NE(gm_frame_invert(&singular, &untouched), 0);
  EXPECT_EQ(untouched.m[0][3], 42);
}

TEST(GmFrame, AxesAndOriginAreColumns) {
  gm_frame f;
  gm_frame_init(&f);
  gm_frame_set_xaxis(&f, 0, 1, 0);
  gm_frame_set_yaxis(&f, -1, 0, 0);
  gm_frame_set_origin(&f, 1, 2, 3);
  double v[3];
  gm_frame_get_xaxis(&f, v);
  expectNear(v, 0, 1, 0);
  gm_frame_get_yaxis(&f, v);
  expectNear(v, -1, 0, 0);
  gm_frame_get_zaxis(&f, v);
  expectNear(v, 0, 0, 1);
  gm_frame_get_origin(&f, v);
  expectNear(v, 1, 2, 3);
  gm_vector d{1, 0, 0}, out;
  gm_frame_transform_vector(&f, &d, &out);  // vectors ignore the origin
  EXPECT_NEAR(out.x, 0, 1e-12);
  EXPECT_NEAR(out.y, 1, 1e-12);
}

TEST(GmVector, SetLengthLeavesZeroVectorAlone) {
  gm_vector v{3, 4, 0};
  EXPECT_EQ(gm_vector_set_length(&v, 10), 0);
  EXPECT_NEAR(v.x, 6, 1e-12);
  EXPECT_NEAR(gm_vector_length(&v), 10, 1e-12);
  gm_vector zero{0, 0, 0};
  EXPECT_NE(gm_vector_set_length(&zero, 1), 0);
  EXPECT_EQ(zero.x, 0);
  gm_vector a{1, 0, 0}, b{0, 1, 0};
  gm_vector_cross(&a, &b, &a);  // out may alias an input
  EXPECT_EQ(a.z, 1);
}

TEST(GmModel, GrowsCopiesAndFrees) {
  gm_model m;
  m.items = reinterpret_cast<gm_element*>(0x1);  // init must not look at old contents
  m.count = 7;
  gm_model_init(&m);
  for (int i = 0; i < 100000; ++i) ASSERT_EQ(gm_model_add(&m, 1002, 1, i, 0, 0), 0);
  EXPECT_EQ(m.count, 100000);
  EXPECT_GE(m.capacity, m.count);
  EXPECT_EQ(double(m.items[99999].x), 99999);

  gm_model dst;
  gm_model_init(&dst);
  gm_model_add(&dst, 1001, 2, -1, 0, 0);
  ASSERT_EQ(gm_model_copy(&m, &dst, GM_COPY_APPEND), 0);
  EXPECT_EQ(dst.count, 100001);
  EXPECT_EQ(double(dst.items[0].x), -1);
  EXPECT_EQ(double(dst.items[100000].x), 99999);
  ASSERT_EQ(gm_model_copy(&dst, &dst, GM_COPY_APPEND), 0);  // appending a list to itself
  EXPECT_EQ(dst.count, 200002);
  EXPECT_EQ(double(dst.items[100001].x), -1);
  EXPECT_NE(gm_model_copy(&m, &dst, 3), 0);  // unknown option: unchanged
  EXPECT_EQ(dst.count, 200002);
  ASSERT_EQ(gm_model_copy(&m, &dst, GM_COPY_REPLACE), 0);
  EXPECT_EQ(dst.count, 100000);

  gm_model_free(&m);
  EXPECT_EQ(m.items, nullptr);
  EXPECT_EQ(m.count, 0);
  gm_model_free(&m);  // twice is harmless
  gm_model_free(&dst);
}

TEST(GmModel, ConnectionFoundOnlyAsCompleteGroup) {
  gm_model m;
  gm_model_init(&m);
  gm_point p{1, 2, 3};
  gm_vector d{-1, 0, 0}, n{0, 0, 1};
  gm_model_add(&m, 2001, 201, 0, 0, 0);  // a face vertex whose pen happens to be 201
  ASSERT_EQ(gm_model_add_connection(&m, 202, &p, &d, &n), 0);
  gm_point pos;
  gm_vector dir, normal;
  ASSERT_EQ(gm_get_connection(&m, 202, &pos, &dir, &normal, 0, 0, 0, 0), 0);
  EXPECT_EQ(pos.y, 2);
  EXPECT_EQ(dir.x, -1);
  EXPECT_EQ(normal.z, 1);
  EXPECT_NE(gm_get_connection(&m, 201, &pos, &dir, &normal, 0, 0, 0, 0), 0);
  EXPECT_NE(gm_get_connection(&m, 249, &pos, &dir, &normal, 0, 0, 0, 0), 0);

  // A group cut off at the end of the list is not read past the count.
  gm_model_add(&m, GM_CONNECTION, 249, 9, 9, 9);
  gm_model_add(&m, GM_CONNECTION_DIR, 249, 1, 0, 0);
  // An exactly sized copy: no slack behind the last element for a stray read to hit.
  gm_model exact;
  exact.count = exact.capacity = m.count;
  exact.items = static_cast<gm_element*>(std::malloc(sizeof(gm_element) * m.count));
  std::memcpy(exact.items, m.items, sizeof(gm_element) * m.count);
  gm_point untouched{7, 7, 7};
  EXPECT_NE(gm_get_connection(&exact, 249, &untouched, &dir, &normal, 0, 0, 0, 0), 0);
  EXPECT_EQ(untouched.x, 7);
  gm_model_free(&exact);
  EXPECT_NE(gm_get_connection(nullptr, 202, &pos, &dir, &normal, 0, 0, 0, 0), 0);
  gm_model_free(&m);
}
