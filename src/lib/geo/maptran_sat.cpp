// Geostationary satellite view (code 9): the earth seen from a satellite
// over the equator at longitude plon, sat_rad from the earth's centre. The
// plane holds the tangents of the two view angles (or, with param[1] = 1,
// the scan angles themselves) times sat_rad. With ellipse set the earth is
// the ellipsoid of semi-axes earth_maj and earth_min, else the sphere.
#include <cmath>

#include "geo/maptran_int.hpp"

namespace kav::proj {
namespace {

bool init(Consts &c, const Domain &dom) {
  c.sat_rad = dom.param[0] != static_cast<float>(kMiss) ? dom.param[0] : kSatRad;
  c.ellipse = dom.ellipse;
  c.scan = dom.param[1] == 1.0f;
  return c.sat_rad > kEarthMaj;
}

int fwd(const Consts &c, double lat, double dlon, double *x, double *y) {
  double phi = kD * lat;
  // Geocentric latitude on the ellipsoid.
  if (c.ellipse) phi = std::atan(std::tan(phi) * c.earth_ratio2);
  const double cl = std::cos(phi), sl = std::sin(phi);
  const double cd = std::cos(kD * dlon), sd = std::sin(kD * dlon);
  double e = kEarthRad;
  if (c.ellipse) {
    e = kEarthMin / std::sqrt(1 - (1 - c.earth_ratio2) * cl * cl);
    // Visible when the satellite lies above the tangent plane at the point.
    const double px = e * cl * cd, py = e * cl * sd, pz = e * sl;
    if ((c.sat_rad - px) * px - py * py - pz * pz / c.earth_ratio2 < 0) return 0;
  } else if (kEarthRad / c.sat_rad > cl * cd) {
    return 0;
  }
  const double d = c.sat_rad - e * cl * cd;
  const double h = std::hypot(e * sd * cl, d);
  double u = e * sd * cl / d, v = e * sl / h;
  if (c.scan) {
    u = std::atan(u);
    v = std::atan(v);
  }
  *x = u * c.sat_rad;
  *y = v * c.sat_rad;
  return 1;
}

// The view ray through the plane point meets the earth's surface: the
// nearer of the two crossings. Sphere and ellipsoid alike (the sphere has
// both semi-axes R).
int inv(const Consts &c, double x, double y, double *lat, double *lon) {
  const double rs = c.sat_rad;
  const double p = c.scan ? x / rs : std::atan(x / rs);
  const double q = c.scan ? y / rs : std::atan(y / rs);
  const double a = c.ellipse ? kEarthMaj : kEarthRad;
  const double r2 = c.ellipse ? c.earth_ratio2 : 1.0;
  const double cp = std::cos(p), sp = std::sin(p), cq = std::cos(q), sq = std::sin(q);
  const double w = cq * cq + sq * sq / r2;
  const double m = rs * cp * cq;
  const double disc = m * m - (rs * rs - a * a) * w;
  if (disc < 0) return 0;
  const double s = (m - std::sqrt(disc)) / w;
  const double big_x = rs - s * cp * cq, big_y = s * sp * cq, big_z = s * sq;
  *lat = std::atan(big_z / (r2 * std::hypot(big_x, big_y))) * kR2D;
  *lon = c.plon + std::atan2(big_y, big_x) * kR2D;
  return 1;
}

const Accepted kNames[] = {{"sat", false}, {nullptr, false}};

}  // namespace

const Family kSatellite = {9, "sat", kNames, true, Limits::Centred, fwd, inv, init};

}  // namespace kav::proj
