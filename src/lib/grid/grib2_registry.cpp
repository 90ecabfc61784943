// The GRIB edition-2 template tables: every grid, product and data template
// the decoder knows, walked by the decoder and by the tests.
#include "grid/grib2_tmpl.hpp"

namespace kav::grib2 {

const GridTemplate kGridTemplates[] = {
    {0, "Latitude/longitude", grid_latlon},
    {10, "Mercator", grid_mercator},
    {20, "Polar stereographic", grid_polar},
    {30, "Lambert conformal", grid_lambert},
    {-1, nullptr, nullptr},
};

const ProductTemplate kProductTemplates[] = {
    {0, "Analysis or forecast on horizontal level at a fixed time", product_fixed},
    {1, "Individual ensemble member, horizontal level, fixed time", product_fixed},
    {2, "Derived forecast based on all ensemble members, horizontal level, fixed time",
     product_fixed},
    {5, "Probability forecast, horizontal level, fixed time", product_fixed},
    {8, "Average, accumulation or extreme value on horizontal level at a fixed time",
     product_range},
    {9, "Probability forecast, horizontal level/layer, time range", product_range},
    {11, "Individual ensemble member, horizontal level, time range", product_range},
    {12, "Derived forecast based on all ensemble members, horizontal level, time range",
     product_range},
    {50008, "JMA local sect 50008", product_local50008},
    {-1, nullptr, nullptr},
};

const DataTemplate kDataTemplates[] = {
    {0, "Grid point - simple packing", data_simple},
    {2, "Grid point - complex packing", data_complex},
    {3, "Grid point - complex packing and spatial differencing", data_complex},
    {40, "JPEG2000 data compression", data_jpeg},
    {40000, "JPEG2000 data compression", data_jpeg},
    {42, "CCSDS recommended lossless compression", data_ccsds},
    {200, "Template 7.200", data_rle},
    {-1, nullptr, nullptr},
};

const GridTemplate *find_grid(int number) {
  for (const GridTemplate *t = kGridTemplates; t->name; ++t)
    if (t->number == number) return t;
  return nullptr;
}

const ProductTemplate *find_product(int number) {
  for (const ProductTemplate *t = kProductTemplates; t->name; ++t)
    if (t->number == number) return t;
  return nullptr;
}

const DataTemplate *find_data(int number) {
  for (const DataTemplate *t = kDataTemplates; t->name; ++t)
    if (t->number == number) return t;
  return nullptr;
}

}  // namespace kav::grib2
