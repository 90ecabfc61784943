/* GRIB files: finding messages in a stream (behind transmission envelopes or
 * none), numbering them as grids, index files, raw copies, and decoding
 * messages of GRIB editions 0 and 1 (simple packing on latitude/longitude,
 * Mercator, Lambert conformal and polar stereographic grids and the
 * predefined grids) into a GRD_report. The decoder keeps one current message
 * per process; it is not re-entrant. */
#ifndef KAV_GRIB_H
#define KAV_GRIB_H

#include <kav/grd_read.h>
#include <kav/kavdefs.h>
#include <kav/region.h>

KAV_BEGIN_DECLS

/* Results of the section decoders: a section decoded, a message refused
 * (a message said why; a scan skips it and goes on), a read failure. */
#define GRIB_OK 1
#define GRIB_REJECT (-2)
#define GRIB_FAIL (-1)

/* Longest message of editions 0 and 1, in octets. */
#define GRIB_MAX_PRODUCT 2000000L
/* Characters of a transmission header kept, and copied by
 * GRIB_get_WMO_header (18 and the terminator). */
#define GRIB_WMO_LEN 31
#define GRIB_WMO_COPY 18
/* Longest index-file description, in characters. */
#define GRIB_INDEX_DESC 128

/* Positions the stream of GRIB file grd_fd at the next message at or after
 * its position, past its envelope (learnt from the file's first message and
 * kept in the file's itype: 1 ingest, 2 data feed, 3 "GRIB:" line, 4 none)
 * and its indicator section, and makes it the current message. A false mark
 * (a length no message can have) is passed over. Returns 1 when a message
 * was found, -1 at the end of the file or for a bad handle. */
KAV_API int GRIB_header(int grd_fd) KAV_NOEXCEPT;

/* Scans the stream for the next mark "GRIB", "GRID" or "BUFR" and reads the
 * indicator octets after it; sets the current edition. Returns the count of
 * octets read after the mark (4, or 12 for edition 2), or -1 at end of file. */
KAV_API int GRIB_search(int grd_fd) KAV_NOEXCEPT;

/* The offset just past the current message (where the next envelope may
 * begin), moving the stream there when where is non-zero. 0 for an impossible
 * length (the stream is then moved just past the false mark when where is
 * non-zero, so that a scan goes on), -1 for a bad handle or an envelope
 * length past GRIB_MAX_PRODUCT. */
KAV_API long GRIB_next(int grd_fd, int where) KAV_NOEXCEPT;

/* The edition of the current message (0, 1, 2), -1 before the first. */
KAV_API int GRIB_get_version(void) KAV_NOEXCEPT;

/* Enables the corruption watch: a message whose last 20 values hold more
 * than val jumps is marked bad and its later points missing. 0 or below
 * disables it (the default). Returns 0. */
KAV_API int GRIB_set_max_bad(int val) KAV_NOEXCEPT;

/* For GRD_getinfo: reads the first message at the stream's position (which
 * GRIB_header found) and sets info->date and info->datim from its reference
 * time; the file's grid becomes its edition (10 for edition 0 from centre
 * 98). 0, or -1 when the message cannot be read. */
KAV_API int GRIB_get_info(int grd_fd, GRD_info *info) KAV_NOEXCEPT;

/* Section decoders of the current edition-0/1 message, called in this order
 * after GRIB_header: product definition, grid description, bit map, binary
 * data (values north-up into grd->grid, allocated here). Each returns
 * GRIB_OK, GRIB_REJECT or GRIB_FAIL. */
KAV_API int GRIB_PDB(int grd_fd, GRD_report *grd) KAV_NOEXCEPT;
KAV_API int GRIB_GDB(int grd_fd, GRD_report *grd) KAV_NOEXCEPT;
KAV_API int GRIB_BMB(int grd_fd) KAV_NOEXCEPT;
KAV_API int GRIB_BDB(int grd_fd, GRD_report *grd) KAV_NOEXCEPT;

/* Decodes a product definition section: data holds the whole section (its
 * length is octets 1-3, at least 28). Sets the record's keys, date, datim,
 * info and the domain of a predefined grid. GRIB_OK, or GRIB_REJECT for a
 * short section or null arguments. */
KAV_API int GRIB_decode_PDB(const unsigned char *data, GRD_report *grd) KAV_NOEXCEPT;

/* Composes info (and the codes of ensemble products) from the record's keys
 * and the current ensemble extension. 0 (-1 for null). */
KAV_API int GRIB_set_var(GRD_report *grd) KAV_NOEXCEPT;

/* Sets units from the variable, mapping local parameters of centre 98 and
 * edition-0 parameters onto edition-1 ones. 0, or -1 for null. */
KAV_API int GRIB_units(GRD_report *grd) KAV_NOEXCEPT;

/* Fills the domain of predefined grid type: 1 when the grid is known, else
 * 0 and the domain unchanged. */
KAV_API int GRIB_set_domain(int type, Domain *domain) KAV_NOEXCEPT;

/* A 4-octet IBM System/360 single-precision float. */
KAV_API float GRIB_flt_conv(const unsigned char *pc) KAV_NOEXCEPT;

/* 2 to the power of a 2-octet sign-and-magnitude binary scale factor. */
KAV_API float GRIB_scl_conv(const unsigned char *pc) KAV_NOEXCEPT;

/* The next packed value of the current data section (most significant bit
 * first), or -1 when the section holds no more. */
KAV_API long GRIB_bit_read(int grd_fd) KAV_NOEXCEPT;

/* The next bit of the current bit map: 1 when the message has none or it is
 * used up, else 0 or 1. */
KAV_API int GRIB_BMB_read(void) KAV_NOEXCEPT;

/* Copies GRIB_WMO_COPY characters of the current message's transmission
 * header into header (GRIB_WMO_COPY + 1 bytes). 0, or -1 for null. */
KAV_API int GRIB_get_WMO_header(int grd_fd, char *header) KAV_NOEXCEPT;

/* Copies the current message with its envelope (from GRD_get_pos() to the
 * next message) into *data, a malloc'ed block (resized with realloc when not
 * null; the caller frees it), and sets *size. Returns the count copied, or
 * -1 (nothing changed) for a bad handle, a message of GRIB_MAX_PRODUCT octets
 * or more, a short read or memory running out. */
KAV_API long GRIB_get_raw(int grd_fd, unsigned char **data, long *size) KAV_NOEXCEPT;

KAV_END_DECLS

#endif
