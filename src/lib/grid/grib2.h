/* GRIB edition 2: the parameter lookup of grib2_var.lup and the section
 * reader over the current edition-2 message of a GRIB file (the message
 * GRIB_header found). Grids of edition-2 messages are read through GRD_read
 * like any other; these calls serve tools and tests that look inside a
 * message. */
#ifndef KAV_GRIB2_H
#define KAV_GRIB2_H

#include <kav/grd_read.h>
#include <kav/kavdefs.h>

KAV_BEGIN_DECLS

/* One row of the parameter lookup. */
typedef struct {
  int ind;        /* the package's variable number, or the composed code */
  int ver;        /* edition of the row (2) */
  int src;        /* centre, 0 for any */
  int disc;       /* discipline */
  int cat;        /* parameter category */
  int param;      /* parameter number */
  char name[20];  /* short name, one word */
  char units[30]; /* units, one word */
  char lname[80]; /* long name */
} GribParam;

/* Sets the numbers of p to -9999 and its texts empty. Returns 0 (-1 for
 * null). */
KAV_API int GribParam_init(GribParam *p) KAV_NOEXCEPT;

/* Looks a parameter up in grib2_var.lup (found along the file_path resource;
 * the package's data directory when it is unset; read once and kept while
 * the resource names the same directory): the first row whose centre is 0
 * or src and whose discipline, category and number match. result->ind is
 * VAR_search_var_num of the row's name, or disc * 1000000 + cat * 1000 +
 * param when no row matches or the name is not a known variable. With no
 * lookup file, result keeps ind -9999 and empty texts. Returns 1 when a row
 * matched, 0 when none did, -1 for null. */
KAV_API int GRIB_get_ver2_param(GribParam *result, int src, int disc, int cat,
                                int param) KAV_NOEXCEPT;

/* 4 octets, most significant first, as an IEEE 754 single-precision number;
 * a first octet of 0 gives 0. */
KAV_API float GRIB_ieee_float_conv(const unsigned char *pc) KAV_NOEXCEPT;

/* Section reader over the current edition-2 message of GRIB file grd_fd.
 * GRIB_read_section moves to the next section (the first after the
 * indicator section on the first call after GRIB_header): 1 when a section
 * 1-8 starts there, 0 at the end section "7777" (GRIB_get_sect() is then
 * -1), -1 for a section whose length does not fit the message, a file that
 * is not at an edition-2 message, or a bad handle. */
KAV_API int GRIB_read_section(int grd_fd) KAV_NOEXCEPT;
/* Number and length of the section GRIB_read_section found last. */
KAV_API int GRIB_get_sect(void) KAV_NOEXCEPT;
KAV_API long GRIB_get_slen(void) KAV_NOEXCEPT;
/* Passes over the rest of the current section (the next GRIB_read_section
 * does so as well). Returns 0, -1 when no section is current. */
KAV_API int GRIB_skip_section(int grd_fd) KAV_NOEXCEPT;

/* Decoders of the current section into grd: identification (1), grid
 * definition (3), product definition (4), data representation (5), bit map
 * (6), data (7). Each checks that the current section has its number.
 * GRIB_GDS returns 1 when the grid was understood, 0 for a template that is
 * not decoded or a bad grid (with a message). The others return 1, or 0 with
 * a message. GRIB_DS needs sections 3, 5 (and 6 when the product has a bit
 * map) of the same message before it; it allocates grd->grid (nx * ny values,
 * north-up, freeing the old array). */
KAV_API int GRIB_IDS(int grd_fd, GRD_report *grd) KAV_NOEXCEPT;
KAV_API int GRIB_GDS(int grd_fd, GRD_report *grd) KAV_NOEXCEPT;
KAV_API int GRIB_PDS(int grd_fd, GRD_report *grd) KAV_NOEXCEPT;
KAV_API int GRIB_DRS(int grd_fd, GRD_report *grd) KAV_NOEXCEPT;
KAV_API int GRIB_BMS(int grd_fd) KAV_NOEXCEPT;
KAV_API int GRIB_DS(int grd_fd, GRD_report *grd) KAV_NOEXCEPT;

KAV_END_DECLS

#endif
