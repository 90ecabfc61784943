// The registry of projections: one row per code, in the order names are
// looked up (so "lamb" is tried before "la"). Adding a projection is one
// family file and one row here. Rows without transforms name codes that
// have none (gnomonic, the cross-section and the domain modifiers).
#include "geo/maptran_int.hpp"

namespace kav::proj {
namespace {

const Accepted kGnomNames[] = {{"gn", false}, {nullptr, false}};
const Accepted kZoomNames[] = {{"zoom", false}, {nullptr, false}};
const Accepted kSizeNames[] = {{"size", false}, {nullptr, false}};
const Accepted kNoNames[] = {{nullptr, false}};

const Family kGnomonic = {6, "gnom", kGnomNames, true, Limits::Centred, nullptr, nullptr, nullptr};
const Family kCrossSection = {21,      "xz",    kNoNames, false, Limits::Corners,
                              nullptr, nullptr, nullptr};
const Family kZoom = {50, "zoom", kZoomNames, false, Limits::Corners, nullptr, nullptr, nullptr};
const Family kSize = {51, "size", kSizeNames, false, Limits::Corners, nullptr, nullptr, nullptr};

// Filled at first use: the families live in their own files, whose
// initialisation order relative to this one is not fixed.
struct Table {
  const Family *rows[25];
  std::size_t count;
};

const Table &the_table() {
  static const Table t = {{&kLatLon,
                           &kPolarStereo,
                           &kSatellite,
                           &kLambertConformal,
                           &kLambertAzimuthal,
                           &kGnomonic,
                           &kOrthographic,
                           &kMollweide,
                           &kMercator,
                           &kPixel,
                           &kXY,
                           &kLogP,
                           &kCategory,
                           &kSkewT,
                           &kEmagram,
                           &kTephigram,
                           &kTephigramFlat,
                           &kStuve,
                           &kHodograph,
                           &kReversed,
                           &kZoom,
                           &kSize,
                           &kCrossSection},
                          23};
  return t;
}

}  // namespace

const Family *const *rows(std::size_t *count) {
  const Table &t = the_table();
  *count = t.count;
  return t.rows;
}

const Family *find(int code) {
  const Table &t = the_table();
  for (std::size_t i = 0; i < t.count; ++i)
    if (t.rows[i]->code == code) return t.rows[i];
  return nullptr;
}

}  // namespace kav::proj
