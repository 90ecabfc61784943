// The state of the sounding analysis, shared by its sources (thm_tool*.cpp).
#ifndef KAV_SOUNDING_THM_TOOL_INT_HPP
#define KAV_SOUNDING_THM_TOOL_INT_HPP

#include <kav/date.h>
#include <kav/thm_tool.h>

#include <string>
#include <vector>

namespace kav_therm {

struct ThermState {
  UPA_level *sm = nullptr;        // temperature levels, ground up
  int sm_num = 0;                 // their count
  UPA_level *wm = nullptr;        // wind levels, ground up
  int wm_num = 0;                 // their count
  std::vector<UPA_level> own_sm;  // room this module allocated for sm (300 levels)
  std::vector<UPA_level> own_wm;  // room this module allocated for wm (300 levels)
  UPA_level sfc{};                // surface level
  UPA_level trop{};               // tropopause level
  UPA_level mwnd{};               // maximum-wind level
  std::string id;                 // station identifier, at most 19 characters
  Date file_date{};               // time of the sounding
  WIND mean6{};                   // mean wind surface to 6000 m above it
  WIND storm{};                   // storm motion
  int par_type = 2;               // 1 surface, 2 layer, 3 max temperature, 5 given level
  float par_thick = 100;          // depth of the layer parcel, mb
  UPA_level par{};                // parcel starting level: the choice, then the level lifted
  UPA_level par_choice{};         // the level chosen for type 5 (p; t, td when given)
  THERM_values values{};          // the analysis
  ThermState();
};

ThermState &state();

// A level with every field missing but a speed of 0 (the initial state of
// the surface, tropopause and maximum-wind levels).
UPA_level calm_level();

// The room for up to THERM_MAX_LEVELS levels of one array, allocated once.
UPA_level *own_levels(std::vector<UPA_level> &room);

// Height (m) of the sounding at a pressure, and that height in feet; both
// missing when it cannot be found.
float height_at(float p);
float feet(float m);

}  // namespace kav_therm

#endif
