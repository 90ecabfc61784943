/* The station table: stations of the database that pass a priority limit,
 * search criteria and the current map, loaded into a keyed table with their
 * plane coordinates, and found again by identifier, WMO number or location. */
#ifndef KAV_CTY_TOOL_H
#define KAV_CTY_TOOL_H

#include <kav/cty_read.h>
#include <kav/kavdefs.h>
#include <kav/region.h>
#include <kav/table.h>

KAV_BEGIN_DECLS

/* Called for every station stored when caller data is attached: the
 * station's record and its caller data buffer (data_size bytes, the first
 * byte 0). */
typedef void (*CTY_enter_fn)(const CTY_data *station, void *data);

/* Which identifier a plot record carries: 0 (default) the WMO key text for a
 * station without identifier, else the identifier; 1 the identifier for a
 * station without WMO number (99999), else the WMO key text; 2 the
 * identifier, else "b" and the WMO number for a buoy, else the identifier
 * made from the WMO number (stn_wmo_to_id). Returns 0. */
KAV_API int CTY_set_id_type(int type) KAV_NOEXCEPT;
/* Bytes of caller data attached to each station stored; 0 for none (also
 * for a negative size). Returns 0. */
KAV_API int CTY_data_size(int size) KAV_NOEXCEPT;
/* Sets the function that fills the caller data (null for none). Returns 0. */
KAV_API int CTY_enter_func(CTY_enter_fn func) KAV_NOEXCEPT;

/* Loads the table from the database city_file (see CTY_open_file): every
 * station whose priority is at most prior (-9999: CTY_get_prior), that meets
 * one of the criteria of the identifier resource ("all" or unset: every
 * station) and whose point lies on the map domain (made the current map;
 * null: no projection) widened by three grid spacings. type 1 keeps whole
 * records keyed by identifier and WMO key text ("%05d", "b%05d" for a buoy);
 * 2 keeps CTY_locate records keyed by their id and the WMO key text; 3 as 2
 * with a third key, the location. A table loaded before is cleared first.
 * The database stays open: its descriptor, or 0 when it cannot be opened,
 * type is not 1 to 3 or memory runs out part-way; no table is loaded then
 * and the database is closed (the map stays as set). */
KAV_API int CTY_store(const char *city_file, int type, const Domain *domain,
                      int prior) KAV_NOEXCEPT;

/* With a type 1 table, enters a station known only by its identifier and
 * WMO number text (keys id and wmo as passed; a WMO text that is not a
 * number gives 99999). Returns 0. */
KAV_API int CTY_make_entry_simple(const char *id, const char *wmo) KAV_NOEXCEPT;

/* The position (from 0) of the first of numid criteria the station meets,
 * -1 when it meets none, 1 when numid is 0. A criterion is terms joined by
 * ':' that must all hold: "Name=" text (the name begins with it), "ST=" state
 * or state_country, "ST" then the state (or state_country) as the next term,
 * "CN=" country, "CN" then the country, "ID=" identifier, "RA<" latitude
 * then longitude and range (km) as the next two terms, "P", "Lat", "Lon",
 * "Elev" and "WMO" with "=", "<" (at most) or ">" (at least) and a number
 * ("WMO=" compares the five-digit text). Texts compare ignoring case. A
 * criterion is met also when it is the station's five-digit WMO number, its
 * identifier, or (longer than 4 characters) the beginning of its name. */
KAV_API int CTY_data_cmp(int numid, char **ids, const CTY_data *data) KAV_NOEXCEPT;

/* 1 when the criterion ids is a search term (begins with a term prefix,
 * the two-term forms written "ST:" and "CN:") or equals id, ignoring case;
 * else 0. */
KAV_API int CTY_id_cmp(const char *ids, const char *id) KAV_NOEXCEPT;
/* 1 when numid is 0, or when any of the criteria is a search term or equals
 * id (CTY_id_cmp); else 0. */
KAV_API int CTY_ids_cmp(int numid, char **ids, const char *id) KAV_NOEXCEPT;

/* Finds a stored station: five digits, or "b" and five digits, as a WMO
 * key; an upper-case letter, a character and three digits by the WMO number
 * it stands for (stn_id_to_wmo); anything else as an identifier. Keys
 * compare exactly. Copies the station (a CTY_data for type 1, a CTY_locate
 * for 2 and 3) into data: 1, or 0 when not found or no table is loaded. */
KAV_API int CTY_search(const char *id, void *data) KAV_NOEXCEPT;

/* The stored station nearest (lat, lon) by rings of tenths of a degree
 * around it, out to 4.9 degrees, for a type 3 table: its record into *data
 * and 1, or 0 when none is found. */
KAV_API int CTY_search_loc(float lat, float lon, CTY_locate *data) KAV_NOEXCEPT;

/* The caller data of a stored station (five characters beginning with a
 * digit: by WMO key, else by identifier); null when not found or it has
 * none. */
KAV_API void *CTY_get_data(const char *id) KAV_NOEXCEPT;

/* The stored stations' caller data in insertion order: next 0 starts from
 * the first; null at the end. Stations without caller data are passed
 * over. */
KAV_API void *CTY_next_data(int next) KAV_NOEXCEPT;

/* For every stored station with caller data: flag 0 frees the buffer,
 * otherwise empties it (first byte 0). Returns 0. */
KAV_API int CTY_clear_data(int flag) KAV_NOEXCEPT;

/* Frees the whole table, the caller data buffers included. Returns 0. */
KAV_API int CTY_clear(void) KAV_NOEXCEPT;

/* The table, for callers that search it directly (empty when none is
 * loaded; it belongs to the module). */
KAV_API TAB_table *CTY_get_table(void) KAV_NOEXCEPT;

KAV_END_DECLS

#endif
