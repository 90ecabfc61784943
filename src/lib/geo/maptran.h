/* Map projections: the current domain of the process and the transforms
 * between geographic coordinates (latitude, longitude in degrees), the plane
 * of the map (units of 100 km) and grid indices; the same pair of transforms
 * places data values on the thermodynamic diagrams and x-y plots. */
#ifndef KAV_MAPTRAN_H
#define KAV_MAPTRAN_H

#include <kav/kavdefs.h>
#include <kav/region.h>

KAV_BEGIN_DECLS

/* A rectangle of the plane (or of the output device). */
typedef struct {
  float x_min;
  float x_max;
  float y_min;
  float y_max;
} MAP_limits;

/* A plane point. */
typedef struct {
  float x;
  float y;
} Point;

/* A geographic point, degrees. */
typedef struct {
  float lat;
  float lon;
} EarthPoint;

/* Makes a copy of *dom current: a -9999 pole takes the centre, the true
 * latitudes and the derived constants are set and the limits computed.
 * Returns 0. A null dom sets "no projection" (transforms copy their inputs)
 * and returns -1. A domain whose projection has no transform, or whose
 * centre is missing or off the projection, is refused with a message and -1:
 * it stays current (MAP_get_domain gives it) but every transform of it fails
 * (0 and -9999 outputs), so nothing is drawn at a made-up place. */
KAV_API int MAP_domain(const Domain *dom) KAV_NOEXCEPT;
/* Copies the current domain into *dom and returns dom; a null dom gives the
 * module's own record (not to be freed or kept across domain changes). */
KAV_API Domain *MAP_get_domain(Domain *dom) KAV_NOEXCEPT;
/* Sets only the projection code and derives its constants again; the limits
 * stay as they were. 0 (-1 when the code has no transform: transforms fail). */
KAV_API int MAP_proj(int proj) KAV_NOEXCEPT;
/* The current projection code. */
KAV_API int MAP_get_proj(void) KAV_NOEXCEPT;
/* The current centre latitude and longitude. */
KAV_API float MAP_get_clat(void) KAV_NOEXCEPT;
KAV_API float MAP_get_clon(void) KAV_NOEXCEPT;
/* Sets the pole (plat, plon) and derives the constants again; 0. */
KAV_API int MAP_coord(float rlat, float rlon) KAV_NOEXCEPT;
/* Lambert conformal only: the two true latitudes value[0], value[1] become
 * param[0], param[1]; the constants and limits are derived again. 0, or -1
 * for a null value or another projection. */
KAV_API int MAP_proj_coord(const float *value) KAV_NOEXCEPT;
/* The projection code of a name (DOM_proj_str). */
KAV_API int MAP_proj_str(const char *proj) KAV_NOEXCEPT;
/* Prints the current domain as a domain text at the print class; 0. */
KAV_API int MAP_print_domain(void) KAV_NOEXCEPT;
/* Recomputes the limits from the current domain; 0, or -1 when they cannot
 * be formed (the limits are then -9999). */
KAV_API int MAP_set_limits(void) KAV_NOEXCEPT;
/* Copies the limits into *lim; 0 (-1 for null). */
KAV_API int MAP_get_limits(MAP_limits *lim) KAV_NOEXCEPT;
/* Sets the device rectangle the skew-T and tephigram make their 45-degree
 * skew on, and derives their constants again; 0 (-1 for null). An unset or
 * empty view counts as a square one. */
KAV_API int MAP_set_view(const MAP_limits *vp) KAV_NOEXCEPT;
/* x_min and y_max of the limits; 0. */
KAV_API int MAP_get_up_left(float *x, float *y) KAV_NOEXCEPT;
/* Transforms the centre; the result of MAP_tran. */
KAV_API int MAP_tran_center(float *x, float *y) KAV_NOEXCEPT;
/* Forward transform of (lat, lon), or of data values on a diagram: 1, or 0
 * with -9999 outputs when the point is not on the projection or an input is
 * missing (-9999), infinite or not a number. Longitudes need not be wrapped.
 * With no projection set the inputs are copied. Never allocates. */
KAV_API int MAP_tran(float lat, float lon, float *x, float *y) KAV_NOEXCEPT;
/* Inverse transform: 1, or 0 with -9999 outputs when the plane point has no
 * geographic point. With no projection set the inputs are copied. */
KAV_API int MAP_untran(float x, float y, float *lat, float *lon) KAV_NOEXCEPT;
/* MAP_tran and MAP_untran on point pairs. */
KAV_API int MAP_tran_ep(EarthPoint ept, Point *pt) KAV_NOEXCEPT;
KAV_API int MAP_tran_pe(Point pt, EarthPoint *ept) KAV_NOEXCEPT;
/* Grid index to plane: x = x_min + dx*gx, y = y_max - dy*gy; 0. A missing
 * index or unset limits give -9999 outputs and -1. */
KAV_API int MAP_grid_tran(float gx, float gy, float *x, float *y) KAV_NOEXCEPT;
/* Plane to grid index, the reverse; 0, or -1 with -9999 outputs for a
 * missing point, unset limits or a zero spacing. */
KAV_API int MAP_grid_untran(float x, float y, float *gx, float *gy) KAV_NOEXCEPT;
/* 1 when the plane point lies in the limits (always with no projection
 * set), else 0. */
KAV_API int MAP_in_domain(float x, float y) KAV_NOEXCEPT;
/* As MAP_in_domain with the rectangle widened by three grid spacings. */
KAV_API int MAP_in_grid_domain(float x, float y) KAV_NOEXCEPT;
/* Converts a plane point of domain1 into the plane of domain2, leaving the
 * current domain as it was: 0, or -1 with -9999 outputs when the point has
 * no place on either projection or a domain is refused. */
KAV_API int MAP_domain_tran(const Domain *domain1, const Domain *domain2, float x1, float y1,
                            float *x2, float *y2) KAV_NOEXCEPT;
/* The plane point reached from (xi, yi) going rad km towards the true
 * direction dir: the result of the final MAP_tran (0 with -9999 outputs when
 * the start has no geographic point). */
KAV_API int MAP_offset(float xi, float yi, float dir, float rad, float *xf, float *yf) KAV_NOEXCEPT;
/* Map scale factor at (lat, lon): the polar stereographic and Lambert
 * conformal scale of the current domain (Lambert: param[2] when given), 1.0
 * for every other projection; -9999 for a missing or impossible point. */
KAV_API float MAP_factor(float lat, float lon) KAV_NOEXCEPT;
/* A true direction (degrees from north) at plane point (x, y) turned into a
 * direction on the plot, and back; -9999 when the point has no geographic
 * point or an input is missing. Projections whose north is up everywhere
 * give dir unchanged. */
KAV_API float MAP_dir_adj(float dir, float x, float y) KAV_NOEXCEPT;
KAV_API float MAP_undir_adj(float dir, float x, float y) KAV_NOEXCEPT;
/* The angle between true north and the plot's up direction at (x, y) for
 * the polar stereographic projection, else 0. u and v are not used. */
KAV_API float MAP_uvdir_adj(float u, float v, float x, float y) KAV_NOEXCEPT;
/* Direction of the plane vector from (x1, y1) to (x2, y2), degrees; on a
 * polar stereographic map corrected to a true direction. */
KAV_API float MAP_dir(float x1, float y1, float x2, float y2) KAV_NOEXCEPT;

/* The declutter grid: MAP_set_plot_limit, MAP_domain, MAP_plot_grid_init,
 * then MAP_plot_grid for each item. val 0 switches it off, L > 0 gives L
 * cells per grid interval, -1 admits everything, -f (f > 1) one cell per f
 * grid intervals. Returns 0. */
KAV_API int MAP_set_plot_limit(int val) KAV_NOEXCEPT;
/* (Re)allocates the grid for the current domain and limit; 0, or -1 (no
 * grid: everything admitted) when it cannot be sized or allocated. */
KAV_API int MAP_plot_grid_init(void) KAV_NOEXCEPT;
/* 1 when an item may be drawn at (x, y); 0 when it is off the grid or its
 * cell is taken (the cell is then held for it). */
KAV_API int MAP_plot_grid(float x, float y) KAV_NOEXCEPT;

/* The registry of projections, in the order names are looked up: entry i
 * gives its code, its printed name and whether it has transforms. 1, or 0
 * past the end. */
KAV_API int MAP_proj_entry(int i, int *code, const char **name, int *has_transform) KAV_NOEXCEPT;

KAV_END_DECLS

#endif
