/* Resources: the process-wide store of named settings, the built-in table of
 * the library's options, the command-line decoder and the help listing. */
#ifndef KAV_RESRC_H
#define KAV_RESRC_H

#include <kav/kavdefs.h>

KAV_BEGIN_DECLS

/* Resource keys. The numbers are part of the interface: programs keep their
 * option lists as arrays of them, ended by RES_null. */
typedef enum {
  RES_null = 0,
  RES_age,
  RES_background,
  RES_batch,
  RES_bin_path,
  RES_bull_file,
  RES_city_file,
  RES_color_cgrid,
  RES_color_clabel,
  RES_color_cloud,
  RES_color_cmap,
  RES_color_cont,
  RES_color_conts,
  RES_color_data,
  RES_color_echo,
  RES_color_fill,
  RES_color_front,
  RES_color_grid,
  RES_color_hodo,
  RES_color_hodtxt,
  RES_color_label,
  RES_color_labels,
  RES_color_line,
  RES_color_map,
  RES_color_pop,
  RES_color_rep,
  RES_color_sound,
  RES_color_table,
  RES_color_text,
  RES_color_therm,
  RES_color_thrmtxt,
  RES_color_wind,
  RES_color_wx,
  RES_command,
  RES_commands,
  RES_con_base,
  RES_con_bases,
  RES_con_interval,
  RES_con_intervals,
  RES_con_path,
  RES_current,
  RES_data_path,
  RES_data_src,
  RES_default,
  RES_draw,
  RES_decode_hour,
  RES_device,
  RES_file_param,
  RES_file_path,
  RES_filename,
  RES_filenames,
  RES_font_list,
  RES_forecast,
  RES_geometry,
  RES_grid_num,
  RES_grid_path,
  RES_grid_type,
  RES_help,
  RES_hour,
  RES_icon,
  RES_identifier,
  RES_identifiers,
  RES_identifierp,
  RES_image_path,
  RES_in_file,
  RES_in_files,
  RES_ingest_port,
  RES_ingestor,
  RES_input,
  RES_label,
  RES_labels,
  RES_level,
  RES_map_file,
  RES_message,
  RES_model,
  RES_name,
  RES_name_conv,
  RES_num_grid,
  RES_num_hour,
  RES_object_param,
  RES_out_file,
  RES_out_files,
  RES_output,
  RES_parameter,
  RES_plot_domain,
  RES_plot_format,
  RES_plot_param,
  RES_plot_range,
  RES_plot_scale,
  RES_plot_type,
  RES_plot_types,
  RES_position,
  RES_product,
  RES_program,
  RES_raw_path,
  RES_read_conf,
  RES_region,
  RES_save_param,
  RES_stat_prior,
  RES_state,
  RES_table,
  RES_time,
  RES_title,
  RES_unit,
  RES_values,
  RES_variable,
  RES_watch_path,
  RES_window_num,
  RES_color_watch,
  RES_log_file,
  RES_grid_domain,
  RES_inputg,
  RES_text_path,
  RES_model_path,
  RES_sat_path
} res_type;

#define RES_KEY_COUNT 115

/* The most entries a decoding table holds, its terminator included. */
#define RES_MAX_DEFOBJ 75

/* One entry of a decoding table. A null def ends the table; an empty def
 * marks an unusable entry. A keyed entry has its option abbreviation in cmd
 * and pos 0; a positional entry has a null cmd and pos 1..10 (10 takes every
 * positional value not claimed by its exact position). */
typedef struct {
  const char *def; /* resource name */
  const char *env; /* the resource's own environment variable */
  const char *cmd; /* option abbreviation (keyed entries) */
  int pos;         /* position count (positional entries) */
  DEF_convert cvt; /* conversion kind */
  void *out;       /* where the conversion stores its result, or null */
  int *num;        /* item count for CV_strings results, or null */
} RES_defobj;

/* One stored resource. The store owns name and data. */
typedef struct resource {
  int index; /* decoding entry that last stored it; -9999 = free */
  char *name;
  char *data; /* null for a resource present without a value */
  DEF_convert cvt;
  struct resource *next;
} resource, res_obj;

/* Decodes the program's options: flags reset, decoding table built from the
 * keyed and positional keys, then defaults files, window, environment and
 * command line, and the conversion pass. Returns 1, or -1 when memory ran
 * out. */
KAV_API int RES_init(int argc, char **argv, const res_type *res_key,
                     const res_type *res_pos) KAV_NOEXCEPT;

/* Fills the store from every source for the given decoding table. Returns 0. */
KAV_API int RES_decode(const char *progname, const char *class_name, int argc, char **argv,
                       RES_defobj *def_table) KAV_NOEXCEPT;

/* Fills obj from the built-in table for key (an empty def when the key has
 * no row). Returns 1. */
KAV_API int RES_enter(RES_defobj *obj, res_type key) KAV_NOEXCEPT;

/* Stores the values into obj. cmd is the option abbreviation of a keyed
 * entry or, as a pointer-sized value from 1 to 10, the position count of a
 * positional entry (RES_POS(n)). Returns 1. */
KAV_API int RES_fill_obj(RES_defobj *obj, const char *def, const char *env, const char *cmd,
                         DEF_convert cvt, void *out, int *num) KAV_NOEXCEPT;

/* The cmd argument of RES_fill_obj for a positional entry of count n. */
#define RES_POS(n) ((const char *)(unsigned long)(n))

/* Creates or replaces a resource. 0, or -1 when it cannot be allocated. */
KAV_API int RES_new(int index, const char *name, const char *data, DEF_convert cvt) KAV_NOEXCEPT;

/* Creates a resource, or appends data to an existing value after a newline.
 * 0, or -1 when it cannot be allocated. */
KAV_API int RES_append(int index, const char *name, const char *data, DEF_convert cvt) KAV_NOEXCEPT;

/* RES_new(-9999, name, value, CV_string). */
KAV_API int RES_put(const char *name, const char *value) KAV_NOEXCEPT;

/* The value of a resource (owned by the store); the empty text for one
 * present without a value; null when it does not exist. An absent file_path
 * gives the package's data directory (the kavfile environment variable, else
 * share/kav of the installation, else the configured one), null when there
 * is none. */
KAV_API const char *RES_get(const char *name) KAV_NOEXCEPT;

/* Converts the resource's value into *data by kind. 0 when it does not exist
 * or data is null; otherwise as RES_conv_data. */
KAV_API int RES_getval(const char *name, void *data, DEF_convert cvt) KAV_NOEXCEPT;

/* Splits the value into *paramv (newlines for CV_strings, else commas); the
 * caller releases the list with free_parsed_array. Returns the count (0 with
 * an error when memory runs out). */
KAV_API int RES_getvals(const char *name, int *paramc, char ***paramv) KAV_NOEXCEPT;

/* Converts one value by kind into out. 1 on success or when nothing applies,
 * 0 when the value or the output address is missing or the value does not
 * convert (with a warning; what it would have set keeps its value). Kinds
 * acting without out: CV_batch, CV_help (flags 19, 20), CV_mess (message
 * level), CV_hour (the fixed date of the file to use: "#YYYY[MM[DD[hh[mm]]]]",
 * MMDDhh, DDhh, Dhh, "D d[h[:m]]", ":m", "-:m", "h[:m]"), CV_file_param
 * (flag 15), CV_plot_type (flag 11), CV_draw (the plot switches). Kinds
 * needing out: CV_int, CV_short, CV_long, CV_float, CV_color, CV_bool, CV_string
 * (the text's address), CV_strcpy (a copy into out), CV_path (a malloc'ed copy
 * ended with '/', the empty text for "none", into the char * at out),
 * CV_device (flag 2 from the first item; with more items the char * at out
 * points at the rest of the list within data), CV_region and CV_domain (the
 * Domain at out, by DOM_decode). */
KAV_API int RES_conv_data(const char *data, void *out, DEF_convert cvt) KAV_NOEXCEPT;

/* The output device kind of a device name, by its first character: P 4;
 * H or Q 5; M 3; W 6 (either case); anything else (null too) 1. */
KAV_API int RES_set_device(const char *str) KAV_NOEXCEPT;

/* Prints every resource in creation order at type M_PRINT & M_SUB_D (0x8). Returns 0. */
KAV_API int RES_list(void) KAV_NOEXCEPT;

/* Stores the command line (the vector stays the caller's). Returns 1. */
KAV_API int RES_setCL(int argc, char **argv) KAV_NOEXCEPT;

/* argv[0] of the stored command line, or null before RES_setCL. */
KAV_API const char *RES_get_prog(void) KAV_NOEXCEPT;

/* Copies the base name of argv[0] into prog, or into a new buffer when prog
 * is null (the caller frees it; "KAV" when it cannot be allocated). prog must
 * hold the whole name: RES_get_prognamen bounds the copy. */
KAV_API char *RES_get_progname(char *prog) KAV_NOEXCEPT;

/* As RES_get_progname into a buffer of size bytes, the name cut to fit. */
KAV_API char *RES_get_prognamen(char *prog, int size) KAV_NOEXCEPT;

/* Prints the help listing for a program's key arrays at type M_PRINT. Returns 1. */
KAV_API int RES_help_print(const char *name, const res_type *res_key,
                           const res_type *res_pos) KAV_NOEXCEPT;

/* Prints the help entry of one key. Returns 1. */
KAV_API int RES_help_item(res_type res) KAV_NOEXCEPT;

KAV_END_DECLS

#endif
