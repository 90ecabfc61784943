// The projection families behind maptran.h: the derived constants a family
// works from and the one registry table of families, walked by the
// transforms, the domain printing and name lookup, and the tests.
#ifndef KAV_GEO_MAPTRAN_INT_HPP
#define KAV_GEO_MAPTRAN_INT_HPP

#include <kav/maptran.h>
#include <kav/region.h>

#include <cstddef>

namespace kav::proj {

// Degrees to radians and back, and pi, to double precision.
constexpr double kD = 0.017453292519943295;
constexpr double kR2D = 57.29577951308232;
constexpr double kPi = 3.14159265358979323846;

// Earth: mean radius, semi-axes (units of 100 km); km per degree.
constexpr double kEarthRad = 63.7122;
constexpr double kEarthMaj = 63.78137;
constexpr double kEarthMin = 63.56752;
constexpr double kKmPerDeg = 111.195;
// Satellite distance from the earth's centre when the domain gives none.
constexpr double kSatRad = 421.61;

// How far (relative) a plane point may lie outside the rim of a bounded
// projection and still count as on it: the rounding of float coordinates.
constexpr double kRim = 1e-6;

// The missing value.
constexpr double kMiss = -9999.0;

// Everything a family's transforms read: the pole, the true latitudes and
// the constants derived once per domain (which family uses which is said at
// each family). Plain data: transforms take it by const reference.
struct Consts {
  int proj = -9999;     // projection code
  double plat = kMiss;  // pole or origin latitude (the centre's when unset)
  double plon = kMiss;  // pole or origin longitude
  double tlat1 = 30;    // true latitudes (polar stereographic: tlat1)
  double tlat2 = 60;
  double scale = 0;    // hemisphere sign (1, 4); bottom of the diagram (40)
  double xfactor = 0;  // polar scale (1), cone constant (4), cos plat (5), x stretch (20..25),
                       // skew (40), x scale to the view (43)
  double yfactor = 0;  // sin plat (5), y stretch (20..25), y scale to the view (43)
  double mult = 0;     // Lambert conformal constant (4)
  double sin_plat = 0, cos_plat = 1;  // azimuthal and orthographic centres (5, 8)
  double sat_rad = 421.64;            // satellite distance from the earth's centre (9)
  double earth_ratio2 = (kEarthMin / kEarthMaj) * (kEarthMin / kEarthMaj);
  int ellipse = 0;        // ellipsoidal earth for the satellite view
  int scan = 0;           // satellite view in scan angles (param[1] = 1)
  bool unskewed = false;  // limits being computed: diagrams drawn unskewed
  MAP_limits lim{-9999.0f, -9999.0f, -9999.0f, -9999.0f};  // the limits of the domain
  MAP_limits view{-9999.0f, -9999.0f, -9999.0f,
                  -9999.0f};  // the device rectangle (diagrams 40 and 43)
};

// Transforms: a, b are latitude and longitude (or the data values of a
// diagram); 1 on success, 0 when the point is not on the projection (the
// caller then writes -9999). Inputs are finite and not missing; longitudes
// of the geographic families are already within [-180, 180).
using FwdFn = int (*)(const Consts &c, double a, double b, double *x, double *y);
using InvFn = int (*)(const Consts &c, double x, double y, double *a, double *b);
// Derives the constants from the domain (c.lim holds the limits already
// when c.unskewed is false); false when the domain gives no usable
// projection (a cone that does not close, a zero data span).
using InitFn = bool (*)(Consts &c, const Domain &dom);

// How the limits of a domain are formed.
enum class Limits {
  Centred,   // geographic: nx by ny points of spacing dx, dy about the centre
  Corners,   // the transforms of (clat, clon) and (clat + dx, clon + dy)
  Diagram,   // as Corners, unskewed, x and y from separate corners (40, 43, 44)
  Plain,     // (clat, clon), (clat + dx, clon + dy) as plane points (23)
  Linear,    // data spans dx, dy onto plot spans nx, ny (20, 24)
  Reversed,  // as Linear with the y axis reversed (25)
};

// One accepted name: a prefix the name must begin with (case-blind), or,
// when whole is set, the whole name.
struct Accepted {
  const char *text;
  bool whole;
};

// One registry row. A row without transforms names a code only.
struct Family {
  int code;
  const char *name;          // printed name
  const Accepted *accepted;  // accepted names, ended by a null text
  bool geographic;           // inputs are latitude and longitude
  Limits limits;
  FwdFn fwd;
  InvFn inv;
  InitFn init;
};

// The registry rows, in the order names are looked up.
const Family *const *rows(std::size_t *count);
// The row of a code, or null.
const Family *find(int code);

// The families, one source file each.
extern const Family kPolarStereo;
extern const Family kLatLon;
extern const Family kMercator;
extern const Family kLambertConformal;
extern const Family kOrthographic;
extern const Family kMollweide;
extern const Family kLambertAzimuthal;
extern const Family kSatellite;
extern const Family kPixel, kXY, kLogP, kCategory, kReversed, kHodograph;
extern const Family kSkewT, kStuve, kEmagram, kTephigram, kTephigramFlat;

// Lambert conformal scale factor at lat (the cone's own), for MAP_factor.
double lambert_scale(const Consts &c, double lat);

}  // namespace kav::proj

#endif
