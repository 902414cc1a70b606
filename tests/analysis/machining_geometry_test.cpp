// Angles and lengths of moves, in input units (0.001 mm).
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/machining_geometry.h"

using namespace korvane::machining;

namespace {
constexpr double kPi = 3.14159265358979323846;
}

TEST(PolarAngle, AxesUseTheFifteenDigitConstants) {
  EXPECT_EQ(polarAngle(0, 0), 6.28318530717958);
  EXPECT_EQ(polarAngle(5, 0), 0);
  EXPECT_EQ(polarAngle(-5, 0), 3.14159265358979);
  EXPECT_EQ(polarAngle(0, 5), 3.14159265358979 / 2);
  EXPECT_EQ(polarAngle(0, -5), 3.14159265358979 / 2 + 3.14159265358979);
}

TEST(PolarAngle, QuadrantsRangeFromMinusHalfPiToThreeHalvesPi) {
  EXPECT_DOUBLE_EQ(polarAngle(1, 1), kPi / 4);
  EXPECT_DOUBLE_EQ(polarAngle(-1, 1), 3.14159265358979 - kPi / 4);
  EXPECT_DOUBLE_EQ(polarAngle(-1, -1), 3.14159265358979 + kPi / 4);
  EXPECT_DOUBLE_EQ(polarAngle(1, -1), -kPi / 4);  // not normalised to 7π/4
}

TEST(ArcCosine, ThroughArctan) {
  EXPECT_EQ(arcCosine(1), 0);
  EXPECT_DOUBLE_EQ(arcCosine(0), kPi / 2);
  EXPECT_NEAR(arcCosine(0.5), kPi / 3, 1e-12);
  EXPECT_NEAR(arcCosine(std::sqrt(0.5)), kPi / 4, 1e-12);
}

TEST(LineLength, ThreeDimensionalDistance) {
  EXPECT_DOUBLE_EQ(lineLength({0, 0, 0}, {3000, 4000, 0}), 5000);
  EXPECT_DOUBLE_EQ(lineLength({1000, 1000, 1000}, {2000, 3000, 3000}), 3000);
  EXPECT_EQ(lineLength({7, 8, 9}, {7, 8, 9}), 0);
}

TEST(ArcLength, FullCircleFromIOnly) {
  // G02 I10.: the end point is the start point; the sweep of 0 becomes the full turn.
  EXPECT_DOUBLE_EQ(arcLength({0, 0, 0}, {0, 0, 0}, 2, {std::nullopt, 10000, std::nullopt}), 10000 * 6.28318530717958);
  EXPECT_DOUBLE_EQ(arcLength({5000, 5000, 0}, {5000, 5000, 0}, 3, {std::nullopt, std::nullopt, -2000}), 2000 * 6.28318530717958);
}

TEST(ArcLength, QuarterCirclesByCentre) {
  // Centre (0, 10000): counterclockwise from the bottom to the right is a quarter.
  EXPECT_NEAR(arcLength({0, 0, 0}, {10000, 10000, 0}, 3, {std::nullopt, 0, 10000}), 10000 * kPi / 2, 1e-6);
  // Clockwise the same way round is three quarters.
  EXPECT_NEAR(arcLength({0, 0, 0}, {10000, 10000, 0}, 2, {std::nullopt, 0, 10000}), 10000 * 3 * kPi / 2, 1e-6);
  // Z plays no part.
  EXPECT_NEAR(arcLength({0, 0, 0}, {10000, 10000, 50000}, 3, {std::nullopt, 0, 10000}), 10000 * kPi / 2, 1e-6);
}

TEST(ArcLength, RadiusGivesHalfCircleWhenChordIsTheDiameter) {
  // G02 X20. Y0 R10. from (0, 0): v = 1, θ = 0.
  EXPECT_DOUBLE_EQ(arcLength({0, 0, 0}, {20000, 0, 0}, 2, {10000, std::nullopt, std::nullopt}), 10000 * 3.14159265358979);
}

TEST(ArcLength, SignOfRadiusChoosesTheShortOrLongArc) {
  const Point from{0, 0, 0};
  const Point to{10000, 10000, 0};
  EXPECT_NEAR(arcLength(from, to, 2, {10000, std::nullopt, std::nullopt}), 10000 * kPi / 2, 1e-6);
  EXPECT_NEAR(arcLength(from, to, 2, {-10000, std::nullopt, std::nullopt}), 10000 * 3 * kPi / 2, 1e-6);
  EXPECT_NEAR(arcLength(from, to, 3, {10000, std::nullopt, std::nullopt}), 10000 * kPi / 2, 1e-6);
  EXPECT_NEAR(arcLength(from, to, 3, {-10000, std::nullopt, std::nullopt}), 10000 * 3 * kPi / 2, 1e-6);
}

TEST(ArcLength, RadiusAndNoChordIsAFullCircle) {
  EXPECT_DOUBLE_EQ(arcLength({3000, 4000, 0}, {3000, 4000, 0}, 2, {5000, std::nullopt, std::nullopt}), 5000 * 6.28318530717958);
}

TEST(ArcLength, ChordLongerThanDiameterHasNoLength) {
  const double length = arcLength({0, 0, 0}, {30000, 0, 0}, 2, {10000, std::nullopt, std::nullopt});
  EXPECT_EQ(length, 0);
}

TEST(ArcLength, RadiusOfZeroFallsBackToTheCentreWords) {
  EXPECT_DOUBLE_EQ(arcLength({0, 0, 0}, {0, 0, 0}, 2, {0, 1000, std::nullopt}), 1000 * 6.28318530717958);
}
