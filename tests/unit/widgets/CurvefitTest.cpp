#include "widgets/Curvefit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

double At(const CurveAxis& a, double t) {
    return a.a0 + a.a1 * t + a.a2 * t * t + a.a3 * t * t * t;
}

TEST(Curvefit, PolynomialFormIsTheBezierOverMinusOneToOne) {
    const struct { double c[4]; } cases[] = {{{0, 10, 40, 50}}, {{5, -3, 8, 2}}, {{1, 1, 1, 1}}};
    for (const auto& c : cases) {
        const CurveAxis a = CurveAxisFromControls(c.c[0], c.c[1], c.c[2], c.c[3]);
        EXPECT_DOUBLE_EQ(At(a, -1), c.c[0]);
        EXPECT_DOUBLE_EQ(At(a, 1), c.c[3]);
        // s = 1/2 weighs the controls 1, 3, 3, 1.
        EXPECT_DOUBLE_EQ(At(a, 0), (c.c[0] + 3 * c.c[1] + 3 * c.c[2] + c.c[3]) / 8);
        // s = 1/4: (27, 27, 9, 1) / 64.
        EXPECT_NEAR(At(a, -0.5), (27 * c.c[0] + 27 * c.c[1] + 9 * c.c[2] + c.c[3]) / 64, 1e-12);
    }
}

// The straight curve x = t, y = 0 over [-1, 1].
CurvePolynomial Line() {
    return {CurveAxisFromControls(-1, -1 / 3.0, 1 / 3.0, 1), CurveAxisFromControls(0, 0, 0, 0)};
}

TEST(Curvefit, CurveDistanceGivesSquaredDistanceAndSlope) {
    const CurveDistanceResult r = CurveDistance(0.0, Line(), 0.5, 1.0);
    EXPECT_DOUBLE_EQ(r.distance, 0.25 + 1.0);
    EXPECT_DOUBLE_EQ(r.slope, -0.5);
}

TEST(Curvefit, NearestPointStaysOnTheCurve) {
    const struct {
        const char* name;
        double bx;
        double by;
        double t;
        double distance;
    } cases[] = {
        {"beyondTheEnd", 5.0, 0.0, 1.0, 16.0},
        {"beforeTheStart", -3.0, 2.0, -1.0, 8.0},
        {"besideTheMiddle", 0.3, 1.0, 0.3, 1.0},
        {"onTheCurve", -0.45, 0.0, -0.45, 0.0},
    };
    for (const auto& c : cases) {
        const CurvePointSearch found = NearestCurvePoint(Line(), c.bx, c.by, 0.25);
        EXPECT_GE(found.t, -1.0) << c.name;
        EXPECT_LE(found.t, 1.0) << c.name;
        EXPECT_NEAR(found.t, c.t, 1e-3) << c.name;
        EXPECT_NEAR(found.distance, c.distance, 1e-6) << c.name;
    }
}

TEST(Curvefit, FitErrorSumsTheInteriorPointsOnly) {
    CubicBezier line;
    line.x = {0, 1, 2, 3};
    line.y = {0, 0, 0, 0};
    // The end points are far off the curve's ends; only p[1] and p[2] count.
    const double onLine[] = {-9, 9, 1, 0, 2, 0, 9, -9};
    const double offLine[] = {-9, 9, 1, 1, 2, -2, 9, -9};
    EXPECT_NEAR(BezierFitError(line, onLine), 0.0, 1e-9);
    EXPECT_NEAR(BezierFitError(line, offLine), 1.0 + 4.0, 1e-6);
}

TEST(Curvefit, StartGuessExtendsTheEndChords) {
    const double points[] = {0, 0, 1, 2, 3, 3, 4, 0};
    const BezierControls guess = BezierStartGuess(points);
    EXPECT_DOUBLE_EQ(guess.p1x, 2);
    EXPECT_DOUBLE_EQ(guess.p1y, 4);
    EXPECT_DOUBLE_EQ(guess.p2x, 2);
    EXPECT_DOUBLE_EQ(guess.p2y, 6);
}

// Feeds AdjustControlCoordinate a scripted error per try; once the script is used up every
// try is worse.
struct ScriptedError {
    std::vector<double> errors;
    const double* coordinate = nullptr;
    std::vector<double> tried;
    double operator()() {
        const size_t n = tried.size();
        tried.push_back(*coordinate);
        return n < errors.size() ? errors[n] : 1e9;
    }
};

TEST(Curvefit, CoordinateSearch) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* name;
        std::vector<double> errors;
        std::vector<double> tried;
        double coordinate;
        double best;
    } cases[] = {
        // Factors 0.5, -1/6, 1/18, -1/54; 1/162 is below 0.01 and ends with the kept value.
        {"everyTryWorse", {}, {15, 10 - 10 / 6.0, 10 + 10 / 18.0, 10 - 10 / 54.0}, 10, 1},
        {"equalErrorStopsAtTheTriedValue", {1}, {15}, 15, 1},
        {"betterKeepsTheFactor",
         {0.5, 2},
         {15, 22.5, 15 - 15 / 6.0, 15 + 15 / 18.0, 15 - 15 / 54.0},
         15,
         0.5},
        {"nanCountsAsWorse", {nan, 1}, {15, 10 - 10 / 6.0}, 10 - 10 / 6.0, 1},
    };
    for (const auto& c : cases) {
        double coordinate = 10;
        double best = 1;
        ScriptedError error{c.errors, &coordinate, {}};
        AdjustControlCoordinate(coordinate, 0.0, best, error);
        ASSERT_EQ(error.tried.size(), c.tried.size()) << c.name;
        for (size_t i = 0; i < c.tried.size(); ++i) {
            EXPECT_DOUBLE_EQ(error.tried[i], c.tried[i]) << c.name << " try " << i;
        }
        EXPECT_DOUBLE_EQ(coordinate, c.coordinate) << c.name;
        EXPECT_DOUBLE_EQ(best, c.best) << c.name;
    }
}

TEST(Curvefit, CoordinateSearchIsBoundedWhileItKeepsImproving) {
    double coordinate = 1;
    double best = 1;
    int tries = 0;
    AdjustControlCoordinate(coordinate, 0.0, best, [&] {
        ++tries;
        return best - 1.0;
    });
    EXPECT_EQ(tries, kMaxCoordinateTries);
}

std::vector<double> SampleCubic(const CubicBezier& curve, int m) {
    std::vector<double> points;
    for (int i = 0; i < m; ++i) {
        const double s = static_cast<double>(i) / (m - 1);
        const double u = 1 - s;
        const double w[4] = {u * u * u, 3 * u * u * s, 3 * u * s * s, s * s * s};
        points.push_back(w[0] * curve.x[0] + w[1] * curve.x[1] + w[2] * curve.x[2] +
                         w[3] * curve.x[3]);
        points.push_back(w[0] * curve.y[0] + w[1] * curve.y[1] + w[2] * curve.y[2] +
                         w[3] * curve.y[3]);
    }
    return points;
}

CubicBezier WithControls(CubicBezier curve, const BezierControls& controls) {
    curve.x[1] = controls.p1x;
    curve.y[1] = controls.p1y;
    curve.x[2] = controls.p2x;
    curve.y[2] = controls.p2y;
    return curve;
}

TEST(Curvefit, FitRecoversASampledCubic) {
    const struct {
        const char* name;
        CubicBezier curve;
    } cases[] = {
        {"arch", {{0, 10, 40, 50}, {0, 30, 30, 0}}},
        {"raisedArch", {{100, 110, 130, 140}, {50, 80, 80, 50}}},
        {"dip", {{0, 5, 25, 30}, {0, -10, -10, 0}}},
    };
    for (const auto& c : cases) {
        const std::vector<double> points = SampleCubic(c.curve, 6);
        const BezierControls guess = BezierStartGuess(points);
        const BezierControls fit = FitCubicBezier(points);
        const CubicBezier fitted = WithControls(c.curve, fit);
        const CubicBezier guessed = WithControls(c.curve, guess);
        EXPECT_LT(BezierFitError(fitted, points), 0.1) << c.name;
        EXPECT_LT(BezierFitError(fitted, points), BezierFitError(guessed, points) / 10) << c.name;
        EXPECT_LT(std::hypot(fit.p1x - c.curve.x[1], fit.p1y - c.curve.y[1]), 3.5) << c.name;
        EXPECT_LT(std::hypot(fit.p2x - c.curve.x[2], fit.p2y - c.curve.y[2]), 3.5) << c.name;
    }
}

// Inside painting a fit must end whatever it is given.
TEST(Curvefit, DegenerateInputEnds) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> cases[] = {
        {}, {0, 0, 1, 1}, {0, 0, 1, 1, 2, 0}, {0, 0, nan, 1, 2, 2, 3, 0}, {5, 5, 5, 5, 5, 5, 5, 5},
    };
    for (const auto& points : cases) {
        FitCubicBezier(points);
    }
    const double single[] = {3, 4};
    const BezierControls fit = FitCubicBezier(single);
    EXPECT_EQ(fit.p1x, 3);
    EXPECT_EQ(fit.p2y, 4);
}

}  // namespace
