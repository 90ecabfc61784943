/* Domains and regions: the Domain record that describes a map, plot or grid
 * area, shared by the projections, the station database and the grid files. */
#ifndef KAV_REGION_H
#define KAV_REGION_H

#include <kav/kavdefs.h>
#include <kav/mess.h>

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

/* Field kinds of a domain text, for DOM_set_params (0 ends a list). A form
 * that does not fit reports the kind of the field that failed. */
#define DOM_K_PROJ 1 /* projection name with optional ":" sub-fields */
#define DOM_K_PLAT 2 /* pole latitude */
#define DOM_K_PLON 3 /* pole longitude */
#define DOM_K_ID 4   /* "id:" station or "id:" file ":" station */
#define DOM_K_CLAT 5 /* centre latitude (or an "id:" field in place of clat,clon) */
#define DOM_K_CLON 6 /* centre longitude */
#define DOM_K_NX 7   /* grid columns, a whole number */
#define DOM_K_NY 8   /* grid rows, a whole number */
#define DOM_K_DX 9   /* grid spacing */
#define DOM_K_DY 10  /* grid spacing */
#define DOM_K_REG 11 /* a region reference */

/* Length of a domain text buffer (DOM_search_file): 79 characters and the
 * terminator. */
#define DOM_TEXT_LEN 80

/* Resets the record: every float -9999, proj, nx, ny -9999, ellipse 0.
 * Returns 0 (-1 for null). */
KAV_API int DOM_init(Domain *domain) KAV_NOEXCEPT;

/* Decodes a domain text: 1 for an explicit domain, 2 for a region
 * reference, -9999 for no domain (null, empty or "miss"), -1 for an invalid
 * text (with a warning). A projection name at the front selects the forms
 * that begin with a projection; see docs/domains.md. A region that is not
 * found, or a chain of regions that refers back to itself, is invalid.
 * Sets program flag 5 to the result, file-name key 'r' to the text and the
 * plotting priority from the domain's height. */
KAV_API int DOM_decode(const char *str, Domain *domain) KAV_NOEXCEPT;

/* Tries one form: the fields paramv[0..paramc-1] against the kinds i1..i8
 * (0 ends the list). 0 when the fields fit (the domain filled in), -1 when
 * the number of fields differs, else the kind of the field that failed. */
KAV_API int DOM_set_params(int paramc, char **paramv, Domain *domain, int i1, int i2, int i3,
                           int i4, int i5, int i6, int i7, int i8) KAV_NOEXCEPT;

/* The projection code of a name: a printed name exactly, else the first
 * accepted prefix in the registry's order (case-blind); -9999 for "miss",
 * -1 for null or an unknown name. */
KAV_API int DOM_proj_str(const char *proj) KAV_NOEXCEPT;

/* Prints the domain as a domain text that decodes back into an equal
 * domain, at message type mess. 0 (nothing printed when the type is off). */
KAV_API int DOM_print(M_type mess, const Domain *domain) KAV_NOEXCEPT;

/* 1 when the two describe the same domain (a missing pole stands for the
 * centre), else 0. Floats compare exactly. */
KAV_API int DOM_comp(const Domain *dom1, const Domain *dom2) KAV_NOEXCEPT;
/* 1 when the projections agree (code, pole, parameters, ellipse), else 0. */
KAV_API int DOM_comp_proj(const Domain *dom1, const Domain *dom2) KAV_NOEXCEPT;
/* (nx - 1)/(ny - 1), or 1.0 when nx or ny is below 2. */
KAV_API float DOM_aspect(const Domain *domain) KAV_NOEXCEPT;

/* Fills a built-in region ("us", "ne", "at", "se", "mw", "sp", "nw", "sw",
 * or "var", which prompts for the centre), case-blind: 1, or 0 for an
 * unknown name (the record then reset to a 25 by 17 polar stereographic
 * domain of spacing 1.2 without centre). */
KAV_API int DOM_get_def_region(const char *region, Domain *domain) KAV_NOEXCEPT;

/* Finds the domain text of region str (null: the first) in a region file,
 * looked up along the file_path resource (null file: "kav.reg"), and copies
 * it into domstr (DOM_TEXT_LEN characters). 1 when found, else 0 (with a
 * warning when the file could not be read to its end). */
KAV_API int DOM_search_file(const char *file, const char *str, char *domstr) KAV_NOEXCEPT;

/* Loads the region menu from a region file: 1, or 0 (the menu unchanged)
 * when the file cannot be opened or read or holds no region. */
KAV_API int DOM_read_menu(const char *file) KAV_NOEXCEPT;

/* Lists a region file (abbreviation and description) at the print class.
 * Returns 0, or -1 (reported) when a read of the file failed part-way. */
KAV_API int DOM_print_file(const char *file) KAV_NOEXCEPT;

/* Domain from the resources: plot_domain (flag 1, 3, 4), else region, else
 * with flag 4 the first region of the menu. The DOM_decode result, or 0 when
 * none is set. */
KAV_API int DOM_get_region(Domain *domain, int flag) KAV_NOEXCEPT;
/* Domain from grid_domain, else region, else plot_domain: the DOM_decode
 * result, or 0 when none is set. */
KAV_API int DOM_get_grid_domain(Domain *domain) KAV_NOEXCEPT;

/* Domain from the resources or the region menu. An invalid domain in
 * plot_domain (flag 1) or region ends the program with code 43. In batch
 * mode the first menu region is taken; otherwise the menu is shown and the
 * answer (a number, an abbreviation, a description, "list", or any domain
 * text, read as a whole line) decoded, at most five tries. The DOM_decode
 * result; 0 for the return choice or a switched-off prompt; -1 after five
 * failed tries. The exit choice ends the program with 0. */
KAV_API int DOM_prompt_region(Domain *domain, int flag) KAV_NOEXCEPT;
/* Switches the region prompt off (0) or on. Returns 0. */
KAV_API int DOM_set_prompt_region(int val) KAV_NOEXCEPT;

/* The description and the abbreviation of menu entry region (owned by the
 * module); null past the end of the menu. */
KAV_API const char *DOM_get_region_name(int region) KAV_NOEXCEPT;
KAV_API const char *DOM_get_region_abbr(int region) KAV_NOEXCEPT;

/* Sets the station plotting priority from a domain height size (100 km):
 * 1 above 50 down to 6 at 3 and below, then adjusted by the stat_prior
 * resource ("+d", "-d" or a digit). Returns 0. */
KAV_API int DOM_set_base_prior(float size) KAV_NOEXCEPT;
KAV_API int DOM_set_prior(int prior) KAV_NOEXCEPT;
KAV_API int DOM_get_prior(void) KAV_NOEXCEPT;
KAV_API int DOM_set_loc_prior(int prior) KAV_NOEXCEPT;
KAV_API int DOM_get_loc_prior(void) KAV_NOEXCEPT;

KAV_END_DECLS

#endif
