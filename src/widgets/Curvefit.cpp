#include "widgets/Curvefit.h"

namespace {

// A secant refinement converges in a handful of steps; the bound only stops one that
// oscillates between the ends or meets a NaN.
constexpr int kMaxSecantSteps = 50;

double Evaluate(const CurveAxis& a, double t) {
    return a.a0 + t * (a.a1 + t * (a.a2 + t * a.a3));
}

double Derivative(const CurveAxis& a, double t) {
    return a.a1 + 2.0 * a.a2 * t + 3.0 * a.a3 * t * t;
}

// Within [-1, 1]; a NaN becomes -1 so that no later evaluation leaves the curve.
double ClampToCurve(double t) {
    if (t > 1.0) {
        return 1.0;
    }
    return t >= -1.0 ? t : -1.0;
}

}  // namespace

CurveAxis CurveAxisFromControls(double c0, double c1, double c2, double c3) {
    CurveAxis a;
    a.a3 = (c3 - c0 + 3.0 * (c1 - c2)) / 8.0;
    a.a2 = 3.0 * (c3 + c0 - c1 - c2) / 8.0;
    a.a1 = (c3 - c0) / 2.0 - a.a3;
    a.a0 = (c3 + c0) / 2.0 - a.a2;
    return a;
}

CurvePolynomial PolynomialOf(const CubicBezier& curve) {
    return {CurveAxisFromControls(curve.x[0], curve.x[1], curve.x[2], curve.x[3]),
            CurveAxisFromControls(curve.y[0], curve.y[1], curve.y[2], curve.y[3])};
}

CurveDistanceResult CurveDistance(double t, const CurvePolynomial& curve, double bx, double by) {
    const double dx = Evaluate(curve.x, t) - bx;
    const double dy = Evaluate(curve.y, t) - by;
    return {dx * dx + dy * dy, Derivative(curve.x, t) * dx + Derivative(curve.y, t) * dy};
}

CurvePointSearch NearestCurvePoint(const CurvePolynomial& curve, double bx, double by,
                                   double step) {
    double t0 = -1.0;
    CurveDistanceResult at = CurveDistance(t0, curve, bx, by);
    double g0 = at.slope;
    double d0 = at.distance;
    for (double t = t0 + step; d0 != 0.0 && t <= 1.01; t += step) {
        at = CurveDistance(t, curve, bx, by);
        if (at.distance < d0) {
            t0 = t;
            g0 = at.slope;
            d0 = at.distance;
        }
    }
    if (d0 == 0.0) {
        return {t0, 0.0};
    }

    double t1 = t0 + step > 1.0 ? 1.0 - step : t0 + step;
    for (int steps = 0;; ++steps) {
        at = CurveDistance(t1, curve, bx, by);
        const double g1 = at.slope;
        if (at.distance == 0.0 || g1 == 0.0 || steps == kMaxSecantSteps) {
            break;
        }
        const double next =
            ClampToCurve(g1 != g0 ? (g1 * t0 - g0 * t1) / (g1 - g0) : (t0 + t1) / 2.0);
        if (std::fabs(next - t1) < 0.001) {
            break;
        }
        t0 = t1;
        g0 = g1;
        t1 = next;
    }
    return {t1, at.distance};
}

double BezierFitError(const CubicBezier& curve, std::span<const double> points) {
    const size_t m = points.size() / 2;
    if (m < 3) {
        return 0.0;
    }
    const CurvePolynomial polynomial = PolynomialOf(curve);
    const double step = 1.0 / static_cast<double>(m);
    double sum = 0.0;
    for (size_t i = 1; i + 1 < m; ++i) {
        sum += NearestCurvePoint(polynomial, points[2 * i], points[2 * i + 1], step).distance;
    }
    return sum;
}

BezierControls BezierStartGuess(std::span<const double> points) {
    const size_t last = points.size() / 2 - 1;
    return {2.0 * points[2] - points[0], 2.0 * points[3] - points[1],
            2.0 * points[2 * last - 2] - points[2 * last],
            2.0 * points[2 * last - 1] - points[2 * last + 1]};
}

BezierControls FitCubicBezier(std::span<const double> points) {
    const size_t m = points.size() / 2;
    if (m < 2) {
        return m == 1 ? BezierControls{points[0], points[1], points[0], points[1]}
                      : BezierControls{};
    }
    const BezierControls guess = BezierStartGuess(points);
    CubicBezier curve;
    curve.x = {points[0], guess.p1x, guess.p2x, points[2 * m - 2]};
    curve.y = {points[1], guess.p1y, guess.p2y, points[2 * m - 1]};

    double best = BezierFitError(curve, points);
    const auto error = [&] { return BezierFitError(curve, points); };
    for (int pass = 0; pass < 2; ++pass) {
        AdjustControlCoordinate(curve.x[1], curve.x[0], best, error);
        AdjustControlCoordinate(curve.y[1], curve.y[0], best, error);
        AdjustControlCoordinate(curve.x[2], curve.x[3], best, error);
        AdjustControlCoordinate(curve.y[2], curve.y[3], best, error);
    }
    return {curve.x[1], curve.y[1], curve.x[2], curve.y[2]};
}
