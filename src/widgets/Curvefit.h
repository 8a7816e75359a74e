#pragma once

#include <array>
#include <cmath>
#include <span>

// Fits one cubic Bézier to a run of outline points: the curve starts at the first point,
// ends at the last and its two inner control points are searched so that it passes close to
// the points between. Runs inside painting, so nothing here allocates; all in double.

// One axis of a cubic as a0 + a1·t + a2·t² + a3·t³ over t in [-1, 1]: the Bézier of the
// control values c0..c3 at s = (t + 1) / 2, so t = -1 gives c0 and t = 1 gives c3.
struct CurveAxis {
    double a0 = 0;
    double a1 = 0;
    double a2 = 0;
    double a3 = 0;
};
CurveAxis CurveAxisFromControls(double c0, double c1, double c2, double c3);

struct CurvePolynomial {
    CurveAxis x;
    CurveAxis y;
};

// The four control points P0..P3.
struct CubicBezier {
    std::array<double, 4> x{};
    std::array<double, 4> y{};
};
CurvePolynomial PolynomialOf(const CubicBezier& curve);

// At t: distance = dx² + dy² and slope = x'(t)·dx + y'(t)·dy, with (dx, dy) = curve(t) − b.
// slope is half the derivative of distance, so its zero is the nearest point.
struct CurveDistanceResult {
    double distance = 0;
    double slope = 0;
};
CurveDistanceResult CurveDistance(double t, const CurvePolynomial& curve, double bx, double by);

// The squared distance from b to the curve: a grid search from t = -1 in steps of step
// (while t <= 1.01) refined by the secant method on the slope, t kept within [-1, 1].
// Returns the last evaluated t and its distance. step must be > 0.
struct CurvePointSearch {
    double t = 0;
    double distance = 0;
};
CurvePointSearch NearestCurvePoint(const CurvePolynomial& curve, double bx, double by, double step);

// points holds m points as x0, y0, x1, y1, ... (m = points.size() / 2). The sum over the
// interior points p[1]..p[m-2] of their squared distance to curve; 0 when m < 3.
double BezierFitError(const CubicBezier& curve, std::span<const double> points);

// The inner control points P1 and P2 of a fitted curve.
struct BezierControls {
    double p1x = 0;
    double p1y = 0;
    double p2x = 0;
    double p2y = 0;
};

// Extends the first and the last chord: P1 = 2·p[1] − p[0], P2 = 2·p[m−2] − p[m−1].
// points as for BezierFitError with m >= 2.
BezierControls BezierStartGuess(std::span<const double> points);

// The fit for m >= 4 points (fewer still give an answer: the start guess refined, or for a
// single point that point). Each pass moves P1.x, P1.y, P2.x, P2.y in turn along their
// offset from P0.x, P0.y, P3.x, P3.y, keeping every move that lowers the error.
BezierControls FitCubicBezier(std::span<const double> points);

// One coordinate's search: tries coordinate += (coordinate − anchor) × c with c = 0.5,
// keeps a lower error (best follows it), on a higher one puts the kept value back and
// divides c by −3, until |c| < 0.01. An error equal to best ends the search at the tried
// value. A NaN error counts as higher; at most kMaxCoordinateTries tries. errorOf() gives the
// error for the coordinate's current value.
constexpr int kMaxCoordinateTries = 100;
template <class ErrorOf>
void AdjustControlCoordinate(double& coordinate, double anchor, double& best, ErrorOf&& errorOf) {
    double c = 0.5;
    double kept = coordinate;
    for (int tries = 0; std::fabs(c) >= 0.01 && tries < kMaxCoordinateTries; ++tries) {
        coordinate += (coordinate - anchor) * c;
        const double error = errorOf();
        if (error == best) {
            return;
        }
        if (error < best) {
            best = error;
            kept = coordinate;
        } else {
            coordinate = kept;
            c /= -3.0;
        }
    }
}
