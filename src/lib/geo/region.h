/* Domains and regions: the Domain record that describes a map, plot or grid
 * area, shared by the projections, the station database and the grid files. */
#ifndef KAV_REGION_H
#define KAV_REGION_H

#include <kav/kavdefs.h>

KAV_BEGIN_DECLS

/* A map, plot or grid area. A float or int field of -9999 is unset. */
typedef struct {
  int proj;       /* projection code (1 pstereo, 2 latlon, 3 merc, 4 lamb, ...); -9999 none */
  float plat;     /* latitude of the projection's pole or origin; -9999: the centre's */
  float plon;     /* longitude of the pole or origin; -9999: the centre's */
  float param[5]; /* projection parameters; -9999: the projection's default */
  float clat;     /* centre latitude (diagrams: data value of the first corner) */
  float clon;     /* centre longitude (diagrams: data value of the first corner) */
  float dx;       /* grid spacing, 100 km (degrees for latlon; diagrams: data span) */
  float dy;
  int nx;      /* grid points, columns */
  int ny;      /* grid points, rows */
  int ellipse; /* nonzero: ellipsoidal earth for the satellite view */
} Domain;

KAV_END_DECLS

#endif
