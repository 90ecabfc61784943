/* The city and station database: the station file, one station a line, and
 * its reader. A line holds ten blank-separated fields: name (at most 20
 * characters), state (2), country (2; "B_" marks a buoy), identifier (at most
 * 9; a second character '-' means none), priority field (a digit 0-9, a '*'
 * before it for forecast-guidance data, a '*' after it for an upper-air
 * station), latitude, longitude, elevation, WMO number and an auxiliary
 * number (which may be left off). See data/README. */
#ifndef KAV_CTY_READ_H
#define KAV_CTY_READ_H

#include <kav/kavdefs.h>
#include <kav/mess.h>

KAV_BEGIN_DECLS

/* Default name of the database, found along the file_path resource (the
 * package's data directory when it is unset). */
#define CTY_DEFAULT_FILE "sao.cty"

/* One station as read from the file. */
typedef struct {
  char name[21];  /* station name, no blanks */
  char state[3];  /* state or province */
  char region[3]; /* country code; "B_" a buoy */
  char id[10];    /* identifier; second character '-': none */
  int prior;      /* plotting priority 0-9, smaller is more important */
  char mos;       /* '*' with forecast-guidance data, else ' ' */
  char ua;        /* '*' for an upper-air station, else ' ' */
  float lat;      /* degrees north */
  float lon;      /* degrees east */
  float el;       /* elevation, m; -9999 when missing */
  int wmo;        /* WMO block and station number; 99999 when none */
  int num;        /* auxiliary number, 0 when absent */
} CTY_data;

/* The compact record kept for plotting. */
typedef struct {
  char id[11]; /* identifier, or the WMO key text */
  int wmo;     /* WMO number */
  float x;     /* plane coordinates on the current map (100 km) */
  float y;
  float el; /* elevation, m */
  int pr;   /* priority */
} CTY_locate;

/* File information. */
typedef struct {
  int dtype; /* the file type given at open */
} CTY_info;

/* Opens a station file with FILE_open, "r" for f_access 0 or "w" for 1, and
 * remembers f_type; a file opened before is closed. A file written goes to a
 * new temporary file beside it, which replaces the old one only at a
 * CTY_close after every write succeeded (standard output is written
 * directly). The stream's descriptor, or -1 for another access value, a
 * command pipe ("|...") or an open failure. */
KAV_API int CTY_open(const char *filename, int f_access, int f_type) KAV_NOEXCEPT;

/* Reads the next station into *city, the record emptied first. Blank lines
 * are passed over. A line that is not a station (too few or too many fields,
 * a field too long, a number that does not convert or lies out of range) is
 * skipped and counted: the first in a file is reported with the file's name
 * and line number, the count when the end is reached. An elevation above
 * 9000 reads as -9999. The number of fields converted (9, or 10 with the
 * auxiliary number), or -1 with no open file or at the end of the file; -2
 * (reported once) when a read of the file failed, until CTY_rewind. */
KAV_API int CTY_read(int city_fd, CTY_data *city) KAV_NOEXCEPT;

/* Writes *city as one line of the file format to the file opened for
 * writing; 0, or -1 with no such file, a null record or a write error. */
KAV_API int CTY_write(int city_fd, const CTY_data *city) KAV_NOEXCEPT;

/* Rewinds the open file and sets info->dtype to its type; 0, or -1 with no
 * open file. */
KAV_API int CTY_getinfo(int city_fd, CTY_info *info) KAV_NOEXCEPT;
/* Rewinds the open file; 0, or -1 with no open file. */
KAV_API int CTY_rewind(int city_fd) KAV_NOEXCEPT;
/* Closes the open file; a file written takes the old one's place. 0, or -1
 * with no open file or when a write or the close failed (the old file is
 * then left as it was, and the failure reported naming CTY_write or
 * CTY_close). */
KAV_API int CTY_close(int city_fd) KAV_NOEXCEPT;

/* Opens the database for reading: the city_file resource when set replaces
 * city_file, and null gives "sao.cty"; a name that is not a full path is
 * looked up along file_path. Sets *num_stats (when not null) to the file size
 * over 59, from 1 to 4000. The descriptor, or -1 with "CTY_open_file:
 * Database file not found: NAME" as a warning; -1 without a message when
 * the name is "none" (any case). */
KAV_API int CTY_open_file(const char *city_file, int *num_stats) KAV_NOEXCEPT;

/* Looks a station up in the database by identifier, name or five-digit WMO
 * number, ignoring case; the file is opened and closed again. 1 when found
 * (the station in *data), else 0 (*data then holds the last record read;
 * a file that could not be read to its end is reported by CTY_read). */
KAV_API int CTY_get(const char *city_file, const char *id, CTY_data *data) KAV_NOEXCEPT;

/* CTY_get, then the station's latitude and longitude: 1 when found, else 0
 * with the outputs untouched. */
KAV_API int CTY_get_loc(const char *city_file, const char *id, float *lat, float *lon) KAV_NOEXCEPT;

/* The stat_prior resource as an integer; 10 when it is not set. */
KAV_API int CTY_get_prior(void) KAV_NOEXCEPT;

/* Empties a record: texts empty, mos and ua blank, prior and num 0, wmo,
 * lat, lon and el -9999. 0 (-1 for null). */
KAV_API int CTY_data_init(CTY_data *data) KAV_NOEXCEPT;

/* Prints *data at message type mess as a line of the file format (what
 * CTY_write writes). 0 (-1 for null). */
KAV_API int CTY_print(M_type mess, const CTY_data *data) KAV_NOEXCEPT;

KAV_END_DECLS

#endif
