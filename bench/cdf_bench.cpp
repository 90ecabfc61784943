// Reading a 1440 x 721 float field (a quarter-degree global grid) from a
// netCDF file: through the grid layer as a CF file (one read into the
// record's array, then the north-up flip) and as the package's own schema,
// beside the netCDF library's nc_get_var_float on the same variable.
#include <benchmark/benchmark.h>
#include <kav/cdf.h>
#include <kav/grd_read.h>
#include <kav/mess.h>
#include <netcdf.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kNx = 1440, kNy = 721;

std::string dir() {
  static std::string d = [] {
    char name[] = "/tmp/cdf_bench.XXXXXX";
    const char *made = mkdtemp(name);
    return std::string(made ? made : "/tmp");
  }();
  return d;
}

std::vector<float> field() {
  std::vector<float> v(size_t(kNx) * kNy);
  for (int j = 0; j < kNy; ++j)
    for (int i = 0; i < kNx; ++i)
      v[size_t(j) * size_t(kNx) + size_t(i)] =
          250.0f + 30.0f * std::sin(0.01f * float(i)) * std::cos(0.02f * float(j));
  return v;
}

// A CF file, latitudes south to north as many models store them.
const std::string &cf_file() {
  static std::string name = [] {
    const std::string n = dir() + "/cf.nc";
    int nc = -1, lat_d = -1, lon_d = -1, lat = -1, lon = -1, t = -1;
    nc_create(n.c_str(), NC_CLOBBER, &nc);
    nc_def_dim(nc, "lat", kNy, &lat_d);
    nc_def_dim(nc, "lon", kNx, &lon_d);
    nc_def_var(nc, "lat", NC_FLOAT, 1, &lat_d, &lat);
    nc_def_var(nc, "lon", NC_FLOAT, 1, &lon_d, &lon);
    const int dims[2] = {lat_d, lon_d};
    nc_def_var(nc, "t", NC_FLOAT, 2, dims, &t);
    nc_put_att_text(nc, lat, "units", 13, "degrees_north");
    nc_put_att_text(nc, lon, "units", 12, "degrees_east");
    nc_enddef(nc);
    std::vector<float> la(kNy), lo(kNx);
    for (int j = 0; j < kNy; ++j) la[size_t(j)] = -90.0f + 0.25f * float(j);
    for (int i = 0; i < kNx; ++i) lo[size_t(i)] = 0.25f * float(i);
    nc_put_var_float(nc, lat, la.data());
    nc_put_var_float(nc, lon, lo.data());
    nc_put_var_float(nc, t, field().data());
    nc_close(nc);
    return n;
  }();
  return name;
}

const std::string &own_file() {
  static std::string name = [] {
    const std::string n = dir() + "/own.nc";
    int type = GRD_NETCDF;
    const int fd = GRD_open(n.c_str(), 1, &type);
    GRD_info info{};
    info.max_x = kNx;
    info.max_y = kNy;
    DATE_init(&info.date);
    GRD_putinfo(fd, &info);
    GRD_report g;
    GRD_init(&g);
    std::vector<float> v = field();
    g.grid = v.data();
    g.domain.proj = 2;
    g.domain.nx = kNx;
    g.domain.ny = kNy;
    int num = 0;
    GRD_write(fd, &g, 0, &num);
    GRD_close(fd);
    return n;
  }();
  return name;
}

void read_grid(benchmark::State &state, const std::string &file) {
  MESS_set(0, 0);
  int type = 0;
  const int fd = GRD_open(file.c_str(), 0, &type);
  GRD_info info{};
  if (fd < 0 || GRD_getinfo(fd, &info) != 0) {
    state.SkipWithError("cannot open the file");
    return;
  }
  GRD_report g;
  GRD_init(&g);
  for (auto _ : state) {
    int num = 0;
    if (GRD_read(fd, &g, 0, &num) != 0) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(g.grid[0]);
  }
  state.SetItemsProcessed(state.iterations() * kNx * kNy);
  std::free(g.grid);
  GRD_close(fd);
}

void BM_GrdReadCf(benchmark::State &state) { read_grid(state, cf_file()); }
void BM_GrdReadOwn(benchmark::State &state) { read_grid(state, own_file()); }

void BM_NcGetVarFloat(benchmark::State &state) {
  int nc = -1, var = -1;
  nc_open(cf_file().c_str(), NC_NOWRITE, &nc);
  nc_inq_varid(nc, "t", &var);
  std::vector<float> v(size_t(kNx) * kNy);
  for (auto _ : state) {
    nc_get_var_float(nc, var, v.data());
    benchmark::DoNotOptimize(v[0]);
  }
  state.SetItemsProcessed(state.iterations() * kNx * kNy);
  nc_close(nc);
}

BENCHMARK(BM_NcGetVarFloat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrdReadCf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrdReadOwn)->Unit(benchmark::kMillisecond);

}  // namespace
