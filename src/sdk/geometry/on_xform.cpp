#include "sdk/geometry/on_xform.h"

#include <cmath>
#include <utility>

// Both constants are initialised at compile time (constinit) from plain element
// stores: a copy-then-clear initialiser was once folded by an optimiser into the
// identity, which turned every product into A*B + I.
constinit const ON_Xform ON_Xform::IdentityTransformation(1.0);
constinit const ON_Xform ON_Xform::ZeroTransformation(0.0, 0.0);

ON_Xform::ON_Xform(const double m[4][4]) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m_xform[i][j] = m[i][j];
}

ON_Xform ON_Xform::TranslationTransformation(const ON_3dVector& d) { return TranslationTransformation(d.x, d.y, d.z); }

ON_Xform ON_Xform::TranslationTransformation(double dx, double dy, double dz) {
    ON_Xform x;
    x.m_xform[0][3] = dx;
    x.m_xform[1][3] = dy;
    x.m_xform[2][3] = dz;
    return x;
}

ON_Xform ON_Xform::DiagonalTransformation(double d) { return ON_Xform(d); }

ON_Xform ON_Xform::DiagonalTransformation(double dx, double dy, double dz) {
    ON_Xform x;
    x.m_xform[0][0] = dx;
    x.m_xform[1][1] = dy;
    x.m_xform[2][2] = dz;
    return x;
}

ON_Xform ON_Xform::ScaleTransformation(const ON_3dPoint& p, double s) {
    ON_Xform x(s);
    x.m_xform[0][3] = p.x * (1.0 - s);
    x.m_xform[1][3] = p.y * (1.0 - s);
    x.m_xform[2][3] = p.z * (1.0 - s);
    return x;
}

ON_Xform ON_Xform::RotationTransformation(double angle, const ON_3dVector& axis, const ON_3dPoint& center) {
    ON_3dVector a = axis;
    if (!a.Unitize())
        return ON_Xform();
    const double c = std::cos(angle), s = std::sin(angle), t = 1.0 - c;
    ON_Xform r;
    r.m_xform[0][0] = t * a.x * a.x + c;
    r.m_xform[0][1] = t * a.x * a.y - s * a.z;
    r.m_xform[0][2] = t * a.x * a.z + s * a.y;
    r.m_xform[1][0] = t * a.x * a.y + s * a.z;
    r.m_xform[1][1] = t * a.y * a.y + c;
    r.m_xform[1][2] = t * a.y * a.z - s * a.x;
    r.m_xform[2][0] = t * a.x * a.z - s * a.y;
    r.m_xform[2][1] = t * a.y * a.z + s * a.x;
    r.m_xform[2][2] = t * a.z * a.z + c;
    return TranslationTransformation(center.x, center.y, center.z) * r *
           TranslationTransformation(-center.x, -center.y, -center.z);
}

ON_Xform ON_Xform::operator*(const ON_Xform& rhs) const {
    // Sums start from a local zero, never from a shared constant.
    double product[4][4] = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                product[i][j] += m_xform[i][k] * rhs.m_xform[k][j];
    return ON_Xform(product);
}

ON_3dPoint ON_Xform::operator*(const ON_3dPoint& p) const {
    const ON_4dPoint h = *this * ON_4dPoint(p.x, p.y, p.z, 1.0);
    if (h.w != 0.0)
        return {h.x / h.w, h.y / h.w, h.z / h.w};
    return {h.x, h.y, h.z};
}

ON_3dVector ON_Xform::operator*(const ON_3dVector& v) const {
    const double(*m)[4] = m_xform;
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}

ON_4dPoint ON_Xform::operator*(const ON_4dPoint& p) const {
    const double in[4] = {p.x, p.y, p.z, p.w};
    double out[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k)
            out[i] += m_xform[i][k] * in[k];
    return {out[0], out[1], out[2], out[3]};
}

bool operator==(const ON_Xform& a, const ON_Xform& b) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (a.m_xform[i][j] != b.m_xform[i][j])
                return false;
    return true;
}

bool ON_Xform::IsIdentity(double tolerance) const {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (std::fabs(m_xform[i][j] - (i == j ? 1.0 : 0.0)) > tolerance)
                return false;
    return true;
}

bool ON_Xform::IsValid() const {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (!std::isfinite(m_xform[i][j]))
                return false;
    return true;
}

double ON_Xform::Determinant() const {
    ON_Xform copy = *this;
    double det = 1.0;
    // Gaussian elimination with partial pivoting on a copy.
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(copy.m_xform[r][c]) > std::fabs(copy.m_xform[pivot][c]))
                pivot = r;
        if (copy.m_xform[pivot][c] == 0.0)
            return 0.0;
        if (pivot != c) {
            std::swap(copy.m_xform[pivot], copy.m_xform[c]);
            det = -det;
        }
        det *= copy.m_xform[c][c];
        for (int r = c + 1; r < 4; ++r) {
            const double f = copy.m_xform[r][c] / copy.m_xform[c][c];
            for (int k = c; k < 4; ++k)
                copy.m_xform[r][k] -= f * copy.m_xform[c][k];
        }
    }
    return det;
}

bool ON_Xform::Invert() {
    double a[4][8];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            a[i][j] = m_xform[i][j];
            a[i][j + 4] = (i == j) ? 1.0 : 0.0;
        }
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c]))
                pivot = r;
        if (!(std::fabs(a[pivot][c]) > 0.0))
            return false;
        if (pivot != c)
            for (int k = 0; k < 8; ++k)
                std::swap(a[pivot][k], a[c][k]);
        const double d = a[c][c];
        for (int k = 0; k < 8; ++k)
            a[c][k] /= d;
        for (int r = 0; r < 4; ++r) {
            if (r == c)
                continue;
            const double f = a[r][c];
            if (f == 0.0)
                continue;
            for (int k = 0; k < 8; ++k)
                a[r][k] -= f * a[c][k];
        }
    }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            if (!std::isfinite(a[i][j + 4]))
                return false;
        }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m_xform[i][j] = a[i][j + 4];
    return true;
}

ON_Xform ON_Xform::Inverse() const {
    ON_Xform x = *this;
    return x.Invert() ? x : ZeroTransformation;
}

void ON_Xform::Transpose() {
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j)
            std::swap(m_xform[i][j], m_xform[j][i]);
}
