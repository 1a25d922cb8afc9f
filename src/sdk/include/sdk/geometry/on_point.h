#pragma once
// Points and vectors in double (d) and single (f) precision. Plain aggregates; the
// arithmetic is the obvious one. Conversions between precisions are explicit except
// widening a 2d point to 3d (z = 0), which the SDK allows implicitly.
//
// Thread-safety: value types.

#include <cmath>

struct ON_2dPoint {
    double x = 0.0, y = 0.0;
    ON_2dPoint() = default;
    ON_2dPoint(double px, double py) : x(px), y(py) {}
    friend bool operator==(const ON_2dPoint&, const ON_2dPoint&) = default;
};

struct ON_2fPoint {
    float x = 0.0f, y = 0.0f;
    ON_2fPoint() = default;
    ON_2fPoint(float px, float py) : x(px), y(py) {}
    friend bool operator==(const ON_2fPoint&, const ON_2fPoint&) = default;
};

struct ON_3fPoint;
struct ON_3fVector;
struct ON_3dPoint;

struct ON_3dVector {
    double x = 0.0, y = 0.0, z = 0.0;
    ON_3dVector() = default;
    ON_3dVector(double px, double py, double pz) : x(px), y(py), z(pz) {}
    explicit ON_3dVector(const ON_3fVector& v);
    explicit ON_3dVector(const ON_3dPoint& p);

    double Length() const { return std::sqrt(x * x + y * y + z * z); }
    // Scales to length 1; false (and unchanged) for a zero or non-finite vector.
    bool Unitize();
    ON_3dVector UnitVector() const {
        ON_3dVector v = *this;
        v.Unitize();
        return v;
    }
    bool IsZero() const { return x == 0.0 && y == 0.0 && z == 0.0; }

    ON_3dVector operator-() const { return {-x, -y, -z}; }
    ON_3dVector operator+(const ON_3dVector& v) const { return {x + v.x, y + v.y, z + v.z}; }
    ON_3dVector operator-(const ON_3dVector& v) const { return {x - v.x, y - v.y, z - v.z}; }
    ON_3dVector operator*(double s) const { return {x * s, y * s, z * s}; }
    double operator*(const ON_3dVector& v) const { return x * v.x + y * v.y + z * v.z; }  // dot
    friend bool operator==(const ON_3dVector&, const ON_3dVector&) = default;

    static const ON_3dVector ZeroVector;
    static const ON_3dVector XAxis;
    static const ON_3dVector YAxis;
    static const ON_3dVector ZAxis;
};

struct ON_3dPoint {
    double x = 0.0, y = 0.0, z = 0.0;
    ON_3dPoint() = default;
    ON_3dPoint(double px, double py, double pz) : x(px), y(py), z(pz) {}
    ON_3dPoint(const ON_2dPoint& p) : x(p.x), y(p.y), z(0.0) {}
    explicit ON_3dPoint(const ON_3fPoint& p);
    explicit ON_3dPoint(const ON_3dVector& v) : x(v.x), y(v.y), z(v.z) {}

    double DistanceTo(const ON_3dPoint& p) const { return (*this - p).Length(); }
    bool IsValid() const { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }

    ON_3dPoint operator+(const ON_3dVector& v) const { return {x + v.x, y + v.y, z + v.z}; }
    ON_3dPoint operator-(const ON_3dVector& v) const { return {x - v.x, y - v.y, z - v.z}; }
    ON_3dVector operator-(const ON_3dPoint& p) const { return {x - p.x, y - p.y, z - p.z}; }
    ON_3dPoint operator*(double s) const { return {x * s, y * s, z * s}; }
    friend bool operator==(const ON_3dPoint&, const ON_3dPoint&) = default;

    static const ON_3dPoint Origin;
};

struct ON_3fPoint {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    ON_3fPoint() = default;
    ON_3fPoint(float px, float py, float pz) : x(px), y(py), z(pz) {}
    explicit ON_3fPoint(const ON_3dPoint& p)
        : x(static_cast<float>(p.x)), y(static_cast<float>(p.y)), z(static_cast<float>(p.z)) {}
    friend bool operator==(const ON_3fPoint&, const ON_3fPoint&) = default;
};

struct ON_3fVector {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    ON_3fVector() = default;
    ON_3fVector(float px, float py, float pz) : x(px), y(py), z(pz) {}
    explicit ON_3fVector(const ON_3dVector& v)
        : x(static_cast<float>(v.x)), y(static_cast<float>(v.y)), z(static_cast<float>(v.z)) {}
    friend bool operator==(const ON_3fVector&, const ON_3fVector&) = default;
};

struct ON_4dPoint {
    double x = 0.0, y = 0.0, z = 0.0, w = 1.0;
    ON_4dPoint() = default;
    ON_4dPoint(double px, double py, double pz, double pw) : x(px), y(py), z(pz), w(pw) {}
    friend bool operator==(const ON_4dPoint&, const ON_4dPoint&) = default;
};

inline ON_3dVector::ON_3dVector(const ON_3fVector& v) : x(v.x), y(v.y), z(v.z) {}
inline ON_3dPoint::ON_3dPoint(const ON_3fPoint& p) : x(p.x), y(p.y), z(p.z) {}
inline ON_3dVector::ON_3dVector(const ON_3dPoint& p) : x(p.x), y(p.y), z(p.z) {}

double ON_DotProduct(const ON_3dVector& a, const ON_3dVector& b);
ON_3dVector ON_CrossProduct(const ON_3dVector& a, const ON_3dVector& b);

// A closed interval [t0, t1] (t0 may exceed t1: a decreasing interval).
struct ON_Interval {
    double m_t[2] = {0.0, 0.0};
    ON_Interval() = default;
    ON_Interval(double t0, double t1) : m_t{t0, t1} {}
    double Length() const { return m_t[1] - m_t[0]; }
    // 0 at t0, 1 at t1; t0 for a zero-length interval.
    friend bool operator==(const ON_Interval&, const ON_Interval&) = default;
};

// A plane: origin and an orthonormal frame (zaxis = xaxis x yaxis).
struct ON_Plane {
    ON_3dPoint origin;
    ON_3dVector xaxis = ON_3dVector(1, 0, 0);
    ON_3dVector yaxis = ON_3dVector(0, 1, 0);
    ON_3dVector zaxis = ON_3dVector(0, 0, 1);

    ON_Plane() = default;
    // Frame from an origin and two directions: x is unitised, y is made perpendicular
    // to x in the plane of the two. IsValid() is false when they are parallel or zero.
    ON_Plane(const ON_3dPoint& o, const ON_3dVector& x, const ON_3dVector& y);
    bool IsValid() const;
    static const ON_Plane World_xy;
};
