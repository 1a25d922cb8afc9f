#pragma once
// ON_Xform: a 4x4 transformation in the column-vector convention (p' = M p), row i,
// column j at m_xform[i][j], translation in column 3. Default construction gives the
// identity.
//
// Thread-safety: a value type.

#include "sdk/geometry/on_point.h"

class ON_Xform {
public:
    double m_xform[4][4];

    constexpr ON_Xform() : ON_Xform(1.0) {}  // identity
    // Diagonal d, d, d, corner; every other entry 0. constexpr so that the constants
    // below are fixed at compile time, whatever the optimiser does.
    constexpr explicit ON_Xform(double diagonal, double corner = 1.0)
        : m_xform{{diagonal, 0.0, 0.0, 0.0},
                  {0.0, diagonal, 0.0, 0.0},
                  {0.0, 0.0, diagonal, 0.0},
                  {0.0, 0.0, 0.0, corner}} {}
    explicit ON_Xform(const double m[4][4]);

    static const ON_Xform IdentityTransformation;
    static const ON_Xform ZeroTransformation;

    static ON_Xform TranslationTransformation(const ON_3dVector& delta);
    static ON_Xform TranslationTransformation(double dx, double dy, double dz);
    static ON_Xform DiagonalTransformation(double d);
    static ON_Xform DiagonalTransformation(double dx, double dy, double dz);
    // Uniform scale by s about a fixed point.
    static ON_Xform ScaleTransformation(const ON_3dPoint& fixedPoint, double s);
    // Right-handed rotation by angle (radians) about axis through center. A zero axis
    // gives the identity.
    static ON_Xform RotationTransformation(double angle, const ON_3dVector& axis, const ON_3dPoint& center);

    double* operator[](int row) { return m_xform[row]; }
    const double* operator[](int row) const { return m_xform[row]; }

    // Matrix product: (A * B) applies B first, then A.
    ON_Xform operator*(const ON_Xform& rhs) const;
    // Transforms a point with homogeneous division (no division when w is 0).
    ON_3dPoint operator*(const ON_3dPoint& p) const;
    // Transforms a direction: the upper-left 3x3 part only.
    ON_3dVector operator*(const ON_3dVector& v) const;
    ON_4dPoint operator*(const ON_4dPoint& p) const;

    friend bool operator==(const ON_Xform& a, const ON_Xform& b);
    friend bool operator!=(const ON_Xform& a, const ON_Xform& b) { return !(a == b); }

    bool IsIdentity(double tolerance = 0.0) const;
    bool IsValid() const;  // all sixteen entries finite
    double Determinant() const;
    // Inverts in place; false (and unchanged) for a singular matrix.
    bool Invert();
    // The inverse, or the zero transformation when singular.
    ON_Xform Inverse() const;
    void Transpose();
};
