/* Dates and times: the Date record in UTC, conversions to and from seconds
 * since 1970, date labels with a display time zone, date sequences,
 * forecast-hour labels and the decoding window around a requested time. */
#ifndef KAV_DATE_H
#define KAV_DATE_H

#include <kav/kavdefs.h>
#include <kav/mess.h>
#include <stdint.h>
#include <time.h>

KAV_BEGIN_DECLS

/* One date in Coordinated Universal Time; -9999 marks a missing field. */
typedef struct {
  int year;  /* full year, for instance 2024 */
  int month; /* 1 to 12 */
  int day;   /* day of the month, 1 to 31 */
  int jday;  /* day of the year, 1 to 366 */
  int wday;  /* day of the week, 0 = Sunday */
  int hour;  /* 0 to 23 */
  int min;   /* 0 to 59 */
  int sec;   /* 0 to 59 */
} Date;

/* Room the label writers need: every label of this module fits in it when
 * the model name is at most DATE_MODEL_LEN characters (longer names are cut). */
#define DATE_LABEL_LEN 128
#define DATE_MODEL_LEN 40
/* Room for a date sequence YYYYMMDDhhmm and its terminator. */
#define DATE_SEQ_LEN 13
/* Room for the current-time texts. */
#define DATE_CURRENT_LEN 24

/* Month names "JAN".."DEC", "jan".."dec", "January".."December"; the empty
 * text for a month outside 1..12. The texts are the module's. */
KAV_API const char *DATE_month(int month) KAV_NOEXCEPT;
KAV_API const char *DATE_month_lower(int month) KAV_NOEXCEPT;
KAV_API const char *DATE_month_long(int month) KAV_NOEXCEPT;
/* Weekday name "SUN".."SAT" for 0..6, else the empty text. */
KAV_API const char *DATE_weekday(int wday) KAV_NOEXCEPT;

/* Sets all eight fields to -9999. 0, or -1 for a null date. */
KAV_API int DATE_init(Date *date) KAV_NOEXCEPT;
/* Prints "Y/M/D hh:mm:ss" and a newline at the message type level. 0, or -1
 * for a null date. */
KAV_API int DATE_print(M_type level, const Date *date) KAV_NOEXCEPT;
/* Prints the current UTC time as DATE_get_current_str writes it. Returns 0. */
KAV_API int DATE_print_current(M_type level) KAV_NOEXCEPT;
/* Writes the current UTC time as "YY MON DD  hh:mm:ssZ" into str
 * (DATE_CURRENT_LEN bytes). 0, or -1 for a null str. */
KAV_API int DATE_get_current_str(char *str) KAV_NOEXCEPT;
/* Writes "DD-hh:mmZ" of the current UTC time. 0, or -1 for a null str. */
KAV_API int DATE_get_simple_current_str(char *str) KAV_NOEXCEPT;
/* Fills date with the current UTC time. 0, or -1 for a null date. */
KAV_API int DATE_get_current_gmdate(Date *date) KAV_NOEXCEPT;

/* The clock every "current time" of the library reads: seconds since 1970.
 * A null fn restores the system clock (tests pin the clock with this). */
KAV_API void DATE_set_clock(int64_t (*fn)(void)) KAV_NOEXCEPT;
/* The current time in seconds; also stored in *secs when secs is not null. */
KAV_API int64_t DATE_get_time(int64_t *secs) KAV_NOEXCEPT;
/* Fill all eight fields from *secs (the current time when secs is null), in
 * UTC or in the system's local zone. 0, or -1 (date all missing) when the
 * time cannot be broken down or date is null. */
KAV_API int DATE_get_gmdate(const int64_t *secs, Date *date) KAV_NOEXCEPT;
KAV_API int DATE_get_localdate(const int64_t *secs, Date *date) KAV_NOEXCEPT;
/* The C library's broken-down time of *secs (now when null), in storage of
 * the module overwritten by the next call; null when it cannot be formed. */
KAV_API struct tm *DATE_get_gmtime(const int64_t *secs) KAV_NOEXCEPT;
KAV_API struct tm *DATE_get_localtime(const int64_t *secs) KAV_NOEXCEPT;

/* Seconds since 1970 of date, after normalising its fields in place: a
 * negative year becomes 1980, years below 50 are 20xx and below 200 19xx, a
 * month outside 1..12 becomes 1, a day outside 0..31 becomes 1 (day 0 is the
 * last day of the month before), an hour, minute or second out of range
 * becomes 0. -9999 for a null date. */
KAV_API int64_t DATE_num_sec(Date *date) KAV_NOEXCEPT;
/* The same for a broken-down time (tm_year from 1900 goes through the
 * century rule); tm is not changed. -9999 for a null tm. */
KAV_API int64_t DATE_num_sec_tm(const struct tm *tm) KAV_NOEXCEPT;
/* 1 for a Gregorian leap year, else 0. */
KAV_API int DATE_is_leap(int year) KAV_NOEXCEPT;
/* Day number counted from 1 on 1 January 1970 (fields normalised as in
 * DATE_num_sec); -9999 when the count does not fit an int. */
KAV_API int DATE_date_days(int year, int month, int day) KAV_NOEXCEPT;
/* Inverse of DATE_date_days. 0, or -1 when an output pointer is null. */
KAV_API int DATE_days_date(int days, int *year, int *month, int *day) KAV_NOEXCEPT;
/* Splits seconds of a day (taken modulo one day) into hour, minute, second.
 * 0, or -1 when an output pointer is null. */
KAV_API int DATE_time_date(int rsecs, int *hour, int *min, int *sec) KAV_NOEXCEPT;
/* Day of the year (clamped to the year) to month and day, and back (a month
 * below 1 counts as 1, above 12 as 12). 0, or -1 for a null output or, in
 * DATE_monday_julian, a day so large that the day of the year overflows. */
KAV_API int DATE_julian_monday(int year, int julian, int *month, int *day) KAV_NOEXCEPT;
KAV_API int DATE_monday_julian(int year, int month, int day, int *julian) KAV_NOEXCEPT;
/* A module-owned Date with these fields and second 0 (day of the year and
 * weekday missing), overwritten by the next call. */
KAV_API Date *DATE_to_struct(int year, int month, int day, int hour, int min) KAV_NOEXCEPT;

/* Writes YYYYMMDDhhmm (DATE_SEQ_LEN bytes) after normalising date in place.
 * -1 for a null str or date, else 0. */
KAV_API int DATE_make_seq(Date *date, char *str) KAV_NOEXCEPT;
/* Reads YYYYMMDDhhmm into date (fields not present stay missing). -1 for a
 * null str or date, else 0. */
KAV_API int DATE_decode_seq(const char *str, Date *date) KAV_NOEXCEPT;

/* Writes the standard date label ("1230Z  5 MAR 24", shorter forms when
 * fields are missing) in the display zone. 0, or -1 for a null argument. */
KAV_API int DATE_make_label(const Date *date, char *str) KAV_NOEXCEPT;
/* Reads a standard label (or "YY MM DD hh") back into date. 0 when one of
 * the forms fitted, else -1 with date all missing. */
KAV_API int DATE_decode_label(const char *str, Date *date) KAV_NOEXCEPT;
/* Month number of a month name (all upper or all lower case), 0 when the
 * name is not recognised or str is null. */
KAV_API int DATE_decode_month(const char *str) KAV_NOEXCEPT;
/* Expands a label pattern (%F %f %x %y %m %d %M %h %n) into str, which must
 * hold 20 bytes per character of the format, plus one (no escape writes more
 * than 40 characters). -1 when str or format is null, else 0. */
KAV_API int DATE_format_label(char *str, const char *format, int fhour, const char *model,
                              const Date *date) KAV_NOEXCEPT;
/* Writes the forecast period text ("36 hour", "1.5 day", "2 month", or empty)
 * into str and returns str (null for a null str). */
KAV_API char *DATE_fhour_label(char *str, int fhour, int flag) KAV_NOEXCEPT;
/* Forecast labels from a base time in seconds and a model number: -1 when
 * seconds is 0 (the period and model only), else 0. */
KAV_API int DATE_make_label_for(int fhour, int model, int64_t seconds, char *str) KAV_NOEXCEPT;
/* Forecast labels from a Date and a model number or name (null or empty for
 * none). 0, or -1 for a null str or date. */
KAV_API int DATE_make_label_for_time(int fhour, int model, const Date *date,
                                     char *str) KAV_NOEXCEPT;
KAV_API int DATE_make_label_for_time_mod(int fhour, const char *model, const Date *date,
                                         char *str) KAV_NOEXCEPT;
/* Writes the valid time (date + forecast hours) in the display zone. 0, or -1
 * for a null argument. */
KAV_API int DATE_make_label_valid_time(int fhour, const Date *date, char *str) KAV_NOEXCEPT;

/* Sets the display zone from "[+|-]NAME:HOURS" (+ a 12-hour clock, - a
 * 12-hour clock with the UTC time in brackets). A text that does not read
 * warns and changes nothing. 0, or -1 when it was refused. */
KAV_API int DATE_set_TZ(const char *str) KAV_NOEXCEPT;
/* The seconds added to UTC for display, and the zone text printed after
 * times (the module's). */
KAV_API int DATE_get_tz_off(void) KAV_NOEXCEPT;
KAV_API const char *DATE_get_tz_str(void) KAV_NOEXCEPT;

/* Sets the requested decode time from date, the fixed hour of the file
 * module and the decode_hour resource, and the window around it. 0, or -1
 * for a null date. */
KAV_API int DATE_set_datim(const Date *date) KAV_NOEXCEPT;
/* Copies the requested decode time out. 0, or -1 for a null date. */
KAV_API int DATE_get_datim(Date *date) KAV_NOEXCEPT;
/* Sets the window in minutes (pre usually negative). Returns 0. */
KAV_API int DATE_set_range(int pre, int post) KAV_NOEXCEPT;
/* 1 when the observation time hhmm lies in the window, else 0 (-9999 is 0). */
KAV_API int DATE_chk_range(int date) KAV_NOEXCEPT;

KAV_END_DECLS

#endif
