/* Declarations shared by every module of the common library. */
#ifndef KAV_KAVDEFS_H
#define KAV_KAVDEFS_H

#ifdef __cplusplus
#define KAV_BEGIN_DECLS extern "C" {
#define KAV_END_DECLS }
#else
#define KAV_BEGIN_DECLS
#define KAV_END_DECLS
#endif

/* Marks a function of the library's public interface. */
#define KAV_API __attribute__((visibility("default")))

/* Follows the parameter list of every function of the C interface: no C++
   exception ever leaves one (a failure inside is its failure result). It is
   noexcept in C++ and nothing in C. */
#ifdef __cplusplus
#define KAV_NOEXCEPT noexcept
#else
#define KAV_NOEXCEPT
#endif

/* The missing value: a float or int that compares equal to it is missing. */
#define KAV_MISSING (-9999.0f)
#define KAV_IMISSING (-9999)

KAV_BEGIN_DECLS

/* Conversion kinds, shared by the resource layer and the definition files. */
typedef enum {
  CV_none = 0,
  CV_bool,
  CV_int,
  CV_short,
  CV_long,
  CV_float,
  CV_string,
  CV_strcpy,
  CV_path,
  CV_mess,
  CV_draw,
  CV_current,
  CV_hour,
  CV_region,
  CV_name,
  CV_ingestor,
  CV_file_param,
  CV_device,
  CV_plot_type,
  CV_color,
  CV_domain,
  CV_strings,
  CV_batch,
  CV_help
} DEF_convert;

KAV_END_DECLS

#endif
