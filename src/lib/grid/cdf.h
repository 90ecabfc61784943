/* netCDF files: the small access module that programs use to write and read
 * their own netCDF products (one current file, a position vector of up to
 * CDF_MAX_DIMS dimensions), and the units of the variable codes of the older
 * model-output netCDF files. Grid files in netCDF (format 11) are read and
 * written through grd_read.h.
 *
 * The netCDF library never prints and never ends the process: every error it
 * reports becomes a message naming the function ("CDF_def_dim: netCDF error
 * in ncdimdef: ...") and the function's failure result. */
#ifndef KAV_CDF_H
#define KAV_CDF_H

#include <kav/kavdefs.h>

KAV_BEGIN_DECLS

/* Dimensions of the position vectors and of a variable's shape at most. */
#define CDF_MAX_DIMS 10
/* netCDF types, as the netCDF library numbers them. */
#define CDF_BYTE 1
#define CDF_CHAR 2
#define CDF_SHORT 3
#define CDF_LONG 4 /* 32-bit integer */
#define CDF_FLOAT 5
#define CDF_DOUBLE 6
/* GRD_file.itype of a netCDF grid file read as a CF file (1-D latitude and
 * longitude coordinates); 0 is the package's own schema, 1 to 199 the older
 * model-output files. */
#define CDF_ITYPE_CF 1000

/* The units of a variable code of the older model-output files ("celsius"
 * for 4, "pascals" for 101, ...), or null for any other code. */
KAV_API const char *GRIB_cdf_units(int var_id) KAV_NOEXCEPT;

/* Opens filename read-only (access 0) or creates it, replacing a file of that
 * name (access 1), and makes it the current file. A file created is written
 * as a new temporary beside the old one and takes its place at CDF_close,
 * unless a data write (a put or CDF_end_def) or the close failed: the old
 * file is then left as it was. Returns its handle, or -1 (with a message)
 * when it cannot be opened. Any other access returns the current handle
 * unchanged. */
KAV_API int CDF_open(const char *filename, int access) KAV_NOEXCEPT;
/* Makes handle val current (-1: none). Returns the handle made current. */
KAV_API int CDF_set_fd(int val) KAV_NOEXCEPT;
/* Closes the current file (a file created takes its target's place); none
 * is current afterwards. 0, or -1 when none was open, closing failed or a
 * file created could not replace its target. */
KAV_API int CDF_close(void) KAV_NOEXCEPT;
/* Leaves define mode of the current file. 0, or -1. */
KAV_API int CDF_end_def(void) KAV_NOEXCEPT;
/* 1: the library's errors are reported as warnings (the default); anything
 * else: they are reported at the debug level only. Returns 0. */
KAV_API int CDF_print_errors(int val) KAV_NOEXCEPT;

/* Defines a dimension (size 0: the unlimited record dimension); its id or -1. */
KAV_API int CDF_def_dim(const char *name, long size) KAV_NOEXCEPT;
/* The id of a dimension, or -1. */
KAV_API int CDF_get_dim(const char *name) KAV_NOEXCEPT;
/* The length of dimension dim (-1: the record dimension), or -1. */
KAV_API long CDF_get_dim_size(int dim) KAV_NOEXCEPT;

/* Sets the shape of the next variables: num dimension ids follow. 0, or -1
 * (shape unchanged) when num is outside 0-CDF_MAX_DIMS. */
KAV_API int CDF_set_shape(int num, ...) KAV_NOEXCEPT;
/* Define a variable of that type with the shape of CDF_set_shape; its id, or
 * -1. */
KAV_API int CDF_def_float_var(const char *name) KAV_NOEXCEPT;
KAV_API int CDF_def_long_var(const char *name) KAV_NOEXCEPT;
KAV_API int CDF_def_short_var(const char *name) KAV_NOEXCEPT;
KAV_API int CDF_def_byte_var(const char *name) KAV_NOEXCEPT;
KAV_API int CDF_def_char_var(const char *name) KAV_NOEXCEPT;
/* Defines a variable of type (CDF_BYTE ... CDF_DOUBLE) over ndims (0 to
 * CDF_MAX_DIMS) dimension ids that follow; its id, or -1. */
KAV_API int CDF_def_var(const char *name, int type, int ndims, ...) KAV_NOEXCEPT;
/* The id of a variable, or -1. */
KAV_API int CDF_get_var(const char *name) KAV_NOEXCEPT;

/* A global text attribute, written without its NUL. 0, or -1. */
KAV_API int CDF_put_glob_att(const char *name, const char *value) KAV_NOEXCEPT;
/* Reads a global text attribute into value (room for len characters and the
 * NUL; a longer text is cut). 0, or -1 (value empty) when it is missing or
 * not text. */
KAV_API int CDF_get_glob_att(const char *name, char *value, int len) KAV_NOEXCEPT;
/* "long_name" and "units" of variable id, each only when not null. 0, or -1. */
KAV_API int CDF_put_base_att(int id, const char *long_name, const char *units) KAV_NOEXCEPT;
/* "valid_range" as two floats or two 32-bit integers. 0, or -1. */
KAV_API int CDF_put_float_range_att(int id, float min, float max) KAV_NOEXCEPT;
KAV_API int CDF_put_long_range_att(int id, long min, long max) KAV_NOEXCEPT;
/* "_FillValue": the float -9999, or a 32-bit integer val. 0, or -1. */
KAV_API int CDF_put_fill_att(int id) KAV_NOEXCEPT;
KAV_API int CDF_put_long_fill_att(int id, long val) KAV_NOEXCEPT;

/* The position of the next single-value call: start from the num indices
 * that follow, every count 1. 0, or -1 (position unchanged) when num is
 * outside 0-CDF_MAX_DIMS or an index is negative. */
KAV_API int CDF_set_pos(int num, ...) KAV_NOEXCEPT;
/* The block of the next array call: num pairs (start, count) follow, as long
 * values. 0, or -1 (unchanged) for num outside 0-CDF_MAX_DIMS or a negative
 * start or count. */
KAV_API int CDF_set_range(int num, ...) KAV_NOEXCEPT;

/* Writers: one value at the position, or the block of the range from an
 * array of count's product values. 0 (nothing done) when no file is current
 * or var is -1; -1 when the library refuses the write or a long value does
 * not fit 32 bits. */
KAV_API int CDF_put_float(int var, float val) KAV_NOEXCEPT;
KAV_API int CDF_put_long(int var, long val) KAV_NOEXCEPT;
KAV_API int CDF_put_short(int var, short val) KAV_NOEXCEPT;
KAV_API int CDF_put_byte(int var, signed char val) KAV_NOEXCEPT;
KAV_API int CDF_put_char(int var, char val) KAV_NOEXCEPT;
KAV_API int CDF_put_float_array(int var, const float *vals) KAV_NOEXCEPT;
KAV_API int CDF_put_byte_array(int var, const signed char *vals) KAV_NOEXCEPT;
/* The text and its NUL along one more dimension than the position has, from
 * index 0 (the position's rank must stay below CDF_MAX_DIMS). */
KAV_API int CDF_put_str(int var, const char *str) KAV_NOEXCEPT;

/* Readers of the value at the position: with no current file or var -1, or
 * when the read fails, -9999 (float, double, long), -1 (byte), a blank
 * (char). */
KAV_API float CDF_get_float(int var) KAV_NOEXCEPT;
KAV_API double CDF_get_double(int var) KAV_NOEXCEPT;
KAV_API long CDF_get_long(int var) KAV_NOEXCEPT;
KAV_API int CDF_get_byte(int var) KAV_NOEXCEPT;
KAV_API char CDF_get_char(int var) KAV_NOEXCEPT;
/* Read the block of the range into vals (room for count's product). 0, or
 * -1 with no current file, var -1 or a failed read. */
KAV_API int CDF_get_float_array(int var, float *vals) KAV_NOEXCEPT;
KAV_API int CDF_get_double_array(int var, double *vals) KAV_NOEXCEPT;
KAV_API int CDF_get_byte_array(int var, signed char *vals) KAV_NOEXCEPT;
/* Reads len characters along one more dimension from index 0 into str (room
 * for len + 1) and ends them with a NUL. 1 when read, 0 when nothing was
 * (str empty). */
KAV_API int CDF_get_str(int var, int len, char *str) KAV_NOEXCEPT;

KAV_END_DECLS

#endif
