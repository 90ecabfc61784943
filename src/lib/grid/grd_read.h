/* Grid files: the grid record, the table of open grid files and their shared
 * reading position, format detection, and the package's own text and binary
 * grid formats (1-4) and the character grid format (22). GRIB (21) and
 * netCDF (11) files go through the same calls to the readers of their
 * formats. */
#ifndef KAV_GRD_READ_H
#define KAV_GRD_READ_H

#include <kav/date.h>
#include <kav/kavdefs.h>
#include <kav/region.h>
#include <stdio.h>

KAV_BEGIN_DECLS

/* Open grid files at most (handles 0 to GRD_MAX_FILES - 1). */
#define GRD_MAX_FILES 15
/* Room of the record's texts: label 49, info 69, units 14 characters; the
 * file-wide label 39; a user's variable name 49. Longer texts are cut. */
#define GRD_DATIM_LEN 50
#define GRD_INFO_LEN 70
#define GRD_UNITS_LEN 15
#define GRD_INFO_DATIM_LEN 40
#define GRD_VAR_NM_LEN 50
/* netCDF field variables kept per file. */
#define GRD_MAX_VARS 15
/* Bytes GRD_get_header copies. */
#define GRD_HEADER_LEN 160
/* Largest grid a file may state: nx and ny at least 1 and nx * ny at most
 * this many points (256 MiB of values). Larger sizes are refused, as is any
 * grid larger than what is left of its file could hold. */
#define GRD_MAX_POINTS 67108864L
/* Longest value format of GRD_set_format, in characters. */
#define GRD_FORMAT_LEN 14

/* Format codes. */
#define GRD_PLAIN 1   /* text grid file without a file header */
#define GRD_TEXT 2    /* text grid file opening with the line "KAVGRID" */
#define GRD_BINARY 3  /* as 2, values as big-endian 4-byte floats */
#define GRD_HEADER 4  /* header file opening with "KAVGRID4" (read only) */
#define GRD_NETCDF 11 /* netCDF (classic, 64-bit offset or netCDF-4) */
#define GRD_GRIB 21   /* GRIB editions 1 and 2 */
#define GRD_CHAR 22   /* character grid file opening with "GRID" (read only) */

/* One grid. Point (i, j) is grid[i + nx * j], i from the western column,
 * j from the top (northernmost) row 0 southward. Missing values are -9999.
 * The caller owns the record and frees grid (free) after the last read. */
typedef struct {
  int type;                  /* model grid type (fixed map area and mesh) */
  int source;                /* creating centre; 1 for the package's own grids */
  int version;               /* encoding version of the values */
  char datim[GRD_DATIM_LEN]; /* date/time label */
  char info[GRD_INFO_LEN];   /* description of the field */
  Date date;                 /* reference (analysis) time */
  int model;                 /* generating process */
  int ltype;                 /* vertical level type */
  int level;                 /* vertical level in the unit of ltype */
  int time;                  /* forecast hours or R*1000000 + start*1000 + end */
  int var;                   /* variable code */
  char units[GRD_UNITS_LEN]; /* units of the values */
  Domain domain;             /* projection, centre, spacing, nx, ny */
  float *grid;               /* nx * ny values, or null */
} GRD_report;

/* File-wide information. */
typedef struct {
  char datim[GRD_INFO_DATIM_LEN]; /* label of the first grid or the file's time */
  int max_x;                      /* grid size where the file states one */
  int max_y;
  int grid_type; /* 0 projected grid, 1 latitude/longitude coordinate vectors */
  Date date;
} GRD_info;

/* One open grid file, owned by the table of open files. */
typedef struct {
  FILE *file;                /* data stream */
  FILE *hfile;               /* GRIB index stream, or null */
  char datim[GRD_DATIM_LEN]; /* label read by GRD_getinfo */
  Date date;
  int fd;                      /* netCDF handle; 1 for stream files; -1 none */
  int grid;                    /* netCDF grid_type, or the GRIB edition */
  int type;                    /* format code */
  int itype;                   /* sub-format (format 4: 0 text, 3 binary) */
  char var_nm[GRD_VAR_NM_LEN]; /* netCDF variable chosen by the user */
  int var[GRD_MAX_VARS];       /* netCDF variable codes found */
  int var_num;
  int cur_var;
  int num;      /* number of the grid at which the file stands */
  long max_num; /* grids or records in the file */
  long x_size, y_size, z_size, t_size;
  int x_dim, y_dim, z_dim, t_dim;
  int values_id[GRD_MAX_VARS];
  int x_coord_id, y_coord_id, proj_id, lat1_id, lat2_id, lon1_id, lon2_id, datim_id, info_id,
      source_id, version_id, model_id, type_id, ltype_id, level_id, time_id, var_id, dx_id, dy_id,
      nx_id, ny_id;
} GRD_file;

/* Clears a record before its first read: grid null, texts empty, source,
 * model and type 0, version 0, time, ltype, level and var -9999, date and
 * domain missing. Does not free grid. Returns 0 (-1 for null). */
KAV_API int GRD_init(GRD_report *grd) KAV_NOEXCEPT;

/* The format code of a file from its first 200 bytes (fewer when the file is
 * shorter): 1 first byte blank or digit; 4 "KAVGRID4"; 2 "KAVGRID"; 11
 * "CDF" or the HDF5 signature of netCDF-4; 21 "GRIB", '*' or the byte 1 first; 22 "GRID"; failing
 * all these, 21 when "GRIB" appears within the first 65536 bytes (a message behind a header). -1
 * when the file cannot be opened or has none of these marks. */
KAV_API int GRD_chktype(const char *filename) KAV_NOEXCEPT;

/* Opens a grid file: f_access 0 reads, 1 creates (replacing the file), 2
 * appends (formats 1, 2, 3 and 21: a missing or empty file is created, with
 * the "KAVGRID" line for formats 2 and 3; f_type 0 takes the format of the
 * existing file). *f_type is the format code, or 0 to detect it (stored back).
 * An empty name or "-" is standard input or output, format 2 unless 3 or 21
 * is asked. A file written (access 1 or 2) goes to a new temporary file in
 * the same directory, which takes the old file's place (its permissions
 * kept) only at a GRD_close after everything was written: a failure leaves
 * the old file as it was. Standard output, command pipes and devices are
 * written directly. Returns the handle 0-14, or -1 (with a message) when no
 * slot is free, the format is unknown or cannot be opened that way, or the
 * file cannot be opened. */
KAV_API int GRD_open(const char *filename, int f_access, int *f_type) KAV_NOEXCEPT;

/* Opens the GRIB index file filename beside the open GRIB file grd_fd.
 * 0, or -1 when index files are off, the file is not GRIB, the name is empty
 * or the index cannot be opened (reported). */
KAV_API int GRD_hdr_open(int grd_fd, const char *filename) KAV_NOEXCEPT;

/* Enables (non-zero) or disables GRIB index files. Returns 0. */
KAV_API int GRD_use_hdr_file(int val) KAV_NOEXCEPT;

/* Sets the printf format of each value written to formats 1 and 2: one
 * floating conversion (e, f, g, E, G with flags, width and precision), at
 * most 14 characters, no other conversion. Empty or null restores the default
 * "%14.8e". Returns 0, or -1 (format unchanged, with a warning) for anything
 * else. Every value is followed by a blank, every row by a line end. */
KAV_API int GRD_set_format(const char *str) KAV_NOEXCEPT;

/* Reads the file-wide information and readies the file for grid 0. Returns
 * 0, or -1 for a bad handle, a format without a reader, or a file that
 * cannot be read. */
KAV_API int GRD_getinfo(int grd_fd, GRD_info *info) KAV_NOEXCEPT;

/* Reads grid *grdnum (from 0, in file order) into grd: rep_type 0 the header
 * and values (the old grid array freed, a new one allocated), 1 and 2 the
 * header only (grid left untouched). Any number may be asked for in any
 * order (standard input only forward); *grdnum then names the grid read.
 * Returns 0, -1 at the end of the file or on failure (a malformed grid gives
 * a message naming the file and grid; after a failed full read grid is null),
 * or what the GRIB reader returns for GRIB files. Once a read of the file's
 * bytes has failed (a damaged disc), every later read of it fails as well,
 * with a message, until it is closed: nothing read around the lost bytes is
 * handed out. */
KAV_API int GRD_read(int grd_fd, GRD_report *grd, int rep_type, int *grdnum) KAV_NOEXCEPT;

/* How the last GRD_read of grd_fd ended: 0 when it read a grid or met the
 * end of the file, -1 when the grid asked for was malformed or could not be
 * read (a message said why) or the handle is bad. */
KAV_API int GRD_read_status(int grd_fd) KAV_NOEXCEPT;

/* Writes the file-wide part: "KAVGRID" and a line end for formats 2 and 3
 * (nothing when appending to a file that has content), nothing for 1, 21,
 * 22. Returns 0, or -1 for a bad handle, format 4 or a write error. */
KAV_API int GRD_putinfo(int grd_fd, const GRD_info *info) KAV_NOEXCEPT;

/* Appends one grid (formats 1-3), copies a raw GRIB message (21: source bytes
 * from grid) or writes record *grd_num (11). Returns 0, or -1 when grd or its
 * grid is null, the handle is bad, the format cannot be written, the size is
 * invalid, the projection has no form in the format (with a message) or the
 * write fails (reported once, naming the file; the file is then lost and
 * GRD_close fails too). Blanks in units become '_' in the record itself. */
KAV_API int GRD_write(int grd_fd, GRD_report *grd, int rep_type, int *grd_num) KAV_NOEXCEPT;

/* Returns a file to its first grid and sets num to 0 (the next read of grid 0
 * reads the first grid). Standard streams are not rewound. 0, or -1 for a
 * bad handle. */
KAV_API int GRD_rewind(int grd_fd) KAV_NOEXCEPT;

/* Closes the file and empties its slot; never closes standard streams. A
 * file written takes the old file's place now. 0 also for an empty slot; -1
 * for a handle outside 0-14, or when a write, the close or the replacement
 * failed (the old file is then left as it was and the temporary removed). */
KAV_API int GRD_close(int grd_fd) KAV_NOEXCEPT;

/* GRIB files only: moves to byte offset, records it as the position after
 * grid grdnum and sets num to grdnum. Returns 0 (nothing done for other
 * formats), -1 for a bad handle or a failed seek. */
KAV_API int GRD_setpos(int grd_fd, long offset, int grdnum) KAV_NOEXCEPT;

/* The offset at which the last grid read (in any file) began. */
KAV_API long GRD_get_pos(void) KAV_NOEXCEPT;

/* Copies the GRD_HEADER_LEN bytes that begin at GRD_get_pos() into header
 * (zeros past the end of the file) and leaves the stream there. 0, or -1 for
 * a bad handle, a null header, a stream that cannot seek or a failed read
 * (reported). */
KAV_API int GRD_get_header(int grd_fd, char *header) KAV_NOEXCEPT;

/* The record of slot ind, or null for an empty slot or a bad index. */
KAV_API GRD_file *GRD_get_gfile(int ind) KAV_NOEXCEPT;

/* The format code of a format name ("plain", "text", "binary", "header",
 * "netcdf", "grib", "char", case-blind) or of its number as text; -1 for
 * anything else. */
KAV_API int GRD_format_code(const char *name) KAV_NOEXCEPT;

/* The name of a format code ("plain", "text", ...), or "unknown". */
KAV_API const char *GRD_format_name(int code) KAV_NOEXCEPT;

/* 1 when files of format code can be written, else 0. */
KAV_API int GRD_format_writable(int code) KAV_NOEXCEPT;

KAV_END_DECLS

#endif
