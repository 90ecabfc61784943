/* Files: file-system services with home-directory expansion, standard
 * streams and command pipes; the package's file kinds; the current file name,
 * fixed date fields and template keys; name conventions and the file-name
 * template language; current and latest files; overwriting. */
#ifndef KAV_FILES_H
#define KAV_FILES_H

#include <kav/date.h>
#include <kav/kavdefs.h>
#include <stdint.h>
#include <stdio.h>

KAV_BEGIN_DECLS

/* Room for a file name or template (159 characters and the terminator);
 * longer names are cut to fit. */
#define FILE_NAME_LEN 160
/* Room for a template key value (29 characters), the extension (19) and the
 * extra information cut from a name (39). */
#define FILE_KEY_LEN 30
#define FILE_EXT_LEN 20
#define FILE_EXT_INFO_LEN 40
/* Room for FILE_get_name_conv's "late_off conv hconv". */
#define FILE_CONV_LEN 336

/* Package file kinds recognised by FILE_type. */
#define FILE_KIND_SFC 11
#define FILE_KIND_UPA 12
#define FILE_KIND_RAW 5
#define FILE_KIND_GRID 6
#define FILE_KIND_META 8
#define FILE_KIND_IMG 9

/* --- File-system services: every name has its leading ~ or ~user expanded. */

/* Opens a file: standard input (access beginning with r) or output for the
 * stdio names "", "-", "std", "stdn"; a pipe for "|command"; otherwise the
 * file with the fopen mode access, its missing directories created first
 * when access begins with w or a. Null on failure or a null argument; when
 * memory ran out, errno is ENOMEM and an error is printed. Release the
 * stream with FILE_close (fclose is fine for plain files). */
KAV_API FILE *FILE_open(const char *file, const char *access) KAV_NOEXCEPT;
/* Closes what FILE_open returned: pclose for pipes, nothing for the standard
 * streams, fclose otherwise. 0, or the failing call's result. */
KAV_API int FILE_close(FILE *fp) KAV_NOEXCEPT;
/* 1 for stdio names and for anything that exists, else 0. */
KAV_API int FILE_exist(const char *file) KAV_NOEXCEPT;
/* 1 when the name exists and is a directory, a regular file, a named pipe,
 * or a character or block device; else 0. */
KAV_API int FILE_is_dir(const char *file) KAV_NOEXCEPT;
KAV_API int FILE_is_file(const char *file) KAV_NOEXCEPT;
KAV_API int FILE_is_fifo(const char *file) KAV_NOEXCEPT;
KAV_API int FILE_is_device(const char *file) KAV_NOEXCEPT;
/* Size in bytes, or -1 when the name does not exist. */
KAV_API long FILE_size(const char *file) KAV_NOEXCEPT;
/* Modification time in seconds since 1970, or -1. */
KAV_API int64_t FILE_modtime(const char *file) KAV_NOEXCEPT;
/* The result of unlink: 0, or -1. */
KAV_API int FILE_delete(const char *file) KAV_NOEXCEPT;
/* Creates every missing directory along dir (mode 0755, backslashes taken as
 * slashes), leaving out the last flag components (1 when dir ends in a file
 * name). 1 when that directory already existed, 0 when it was made, -1 when
 * it could not be made. */
KAV_API int FILE_make_dir(const char *dir, int flag) KAV_NOEXCEPT;
/* 1 when name begins with '/', '.' or '~', else 0. */
KAV_API int FILE_fullpath(const char *name) KAV_NOEXCEPT;
/* Writes into dst (FILE_NAME_LEN bytes) file alone for stdio names and full
 * paths, else path (when not null or empty), a '/' if needed, and file.
 * Returns dst (null when dst or file is null, or memory runs out: dst is
 * then empty, which names the standard streams, so the result must be
 * checked). */
KAV_API char *FILE_add_path(const char *path, const char *file, char *dst) KAV_NOEXCEPT;
/* Appends '/' to path unless it is empty or ends in '/'; path must have room
 * for one more character. Returns 0 (-1 for null). */
KAV_API int FILE_add_path_delim(char *path) KAV_NOEXCEPT;
/* Writes file into filename (FILE_NAME_LEN bytes) with a leading ~ replaced
 * by the home directory (HOME, else the password entry) and ~user by that
 * user's; an unknown user leaves the name unchanged. Returns filename, or
 * null when memory runs out (filename then empty). */
KAV_API char *FILE_add_user_path(const char *file, char *filename) KAV_NOEXCEPT;
/* 1 for "", "-", "std" and "stdn" (any case), else 0 (also for null). */
KAV_API int FILE_is_stdio(const char *name) KAV_NOEXCEPT;
/* The package file kind from the file's first characters (KAVSFC 11, KAVUPA
 * 12, KAVRAW 5, KAVGRID 6, KAVMETA 8, KAVIMG 9); -1 for anything else or when
 * unreadable. A name that cannot be opened is tried again cut at its first
 * '-'. Standard streams, command pipes and anything but a regular file
 * (named pipes, devices, directories) are never read: -1. */
KAV_API int FILE_type(const char *filename) KAV_NOEXCEPT;
/* What to do with an output file that may exist: 1 write it, 2 append, 3 use
 * it as it is; 0 for an unknown flag. Asks the user (flag 1 or 2) unless the
 * name is stdio or missing (1), flag 15 holds an answer, or in batch mode (3). */
KAV_API int FILE_overwrite(const char *filename, int flag) KAV_NOEXCEPT;

/* --- Module state. */

/* Sets the current file name (cut to 159 characters), marked as the user's. */
KAV_API int FILE_set_filename(const char *str) KAV_NOEXCEPT;
/* Copies the current file name into str when not null; returns the module's
 * text. */
KAV_API const char *FILE_get_filename(char *str) KAV_NOEXCEPT;
/* Reads "late_off conv [hconv]". 0, or -1 for null. */
KAV_API int FILE_set_name_conv(const char *str) KAV_NOEXCEPT;
/* Writes "late_off conv hconv" into str (FILE_CONV_LEN bytes). */
KAV_API int FILE_get_name_conv(char *str) KAV_NOEXCEPT;
/* A one-deep save of late_off, conv, hconv, filename and filename_type. */
KAV_API int FILE_save_name_conv(void) KAV_NOEXCEPT;
KAV_API int FILE_restore_name_conv(void) KAV_NOEXCEPT;
KAV_API int FILE_set_late_off(int val) KAV_NOEXCEPT;
KAV_API int FILE_get_late_off(void) KAV_NOEXCEPT;
/* Sets the run-time minimum size; FILE_get_min_size gives it when not 0,
 * else the convention's. */
KAV_API int FILE_set_min_size(int val) KAV_NOEXCEPT;
KAV_API int FILE_get_min_size(void) KAV_NOEXCEPT;
/* Copy the fixed date fields in and out (-9999 fields are free). */
KAV_API int FILE_set_time(const Date *datim) KAV_NOEXCEPT;
KAV_API int FILE_get_time(Date *datim) KAV_NOEXCEPT;
/* Frees the year, month, day, hour and minute of the fixed date. */
KAV_API int FILE_reset_time(void) KAV_NOEXCEPT;
/* Copies the date the last name made from a template stands for. */
KAV_API int FILE_get_date(Date *date) KAV_NOEXCEPT;
/* Stores at most 29 characters of str for the template letter key, blanks
 * turned into '_' (null str clears it). */
KAV_API int FILE_set_key(int key, const char *str) KAV_NOEXCEPT;
/* Copies the value stored for key into str (FILE_KEY_LEN bytes; empty when
 * none). Returns 0. */
KAV_API int FILE_get_key(int key, char *str) KAV_NOEXCEPT;
KAV_API int FILE_set_type(int kind) KAV_NOEXCEPT;
KAV_API int FILE_get_type(void) KAV_NOEXCEPT;
/* Selects the header template (hconv) for FILE_set_date when val is set. */
KAV_API int FILE_set_header(int val) KAV_NOEXCEPT;
KAV_API int FILE_set_ext_info(const char *str) KAV_NOEXCEPT;
KAV_API const char *FILE_get_ext_info(void) KAV_NOEXCEPT;
/* Moves the text from the first '#', '-', '+' or ':' at or after the third
 * character of file into ext_info and cuts it off. 1 when cut, else 0. */
KAV_API int FILE_extract_extra_info(char *file) KAV_NOEXCEPT;
KAV_API int KAV_share(int mode) KAV_NOEXCEPT;

/* --- Conventions. */

/* Selects the template for a file type from the name convention file (the
 * name_conv resource or "name_conv", in the file_path directory). 1 when the
 * type was found (or began with @), else 0: "none" selects no template, any
 * other type not found becomes the template itself. -1 when memory runs out,
 * and (reported, no template then) when the convention file cannot be read. */
KAV_API int FILE_set_name(const char *type) KAV_NOEXCEPT;
/* Writes into out_file (FILE_NAME_LEN bytes) the name for datim (null: the
 * recorded date) from the active template. 0 when made from the template,
 * 1 when the current file name or a standard stream was used; -1 (out_file
 * emptied) when memory runs out. */
KAV_API int FILE_set_date(const Date *datim, char *out_file) KAV_NOEXCEPT;
/* Resolves a current-time specification ("la", "la-12", "-6", "-1d", "la#24",
 * "#2024030512"; null means "la") to a file name written into filename
 * (FILE_NAME_LEN bytes, may be null). Returns the time in seconds rounded
 * down to the convention's period; -1 (filename emptied) when memory runs out. */
KAV_API int64_t FILE_set_current(const char *cur, char *filename) KAV_NOEXCEPT;

/* --- Choosing files from what the user types, and stepping through them. */

/* Chooses the file to read: the filename resource (its first value; "list"
 * lists the files and ends the program with 0), else the current resource,
 * else in batch mode the latest file, else the user is asked (prompt) up to
 * four times after a listing of the files ("exit" ends the program with 0,
 * "list" lists again). 1 with the name in the current file name and, when
 * outfile is not null, in outfile (FILE_NAME_LEN bytes); 0 when the
 * filename resource names a file that does not exist. Ends the program with
 * 10 when no existing file could be chosen otherwise. */
KAV_API int FILE_get_file(const char *prompt, char *outfile) KAV_NOEXCEPT;
/* As FILE_get_file with one question and no "File not found" warning:
 * 1 when the chosen file exists, else 0; never ends the program for a
 * missing file. */
KAV_API int FILE_get_file_only(const char *prompt, char *outfile) KAV_NOEXCEPT;
/* Writes into out_file (FILE_NAME_LEN bytes) the full name the user's text
 * stands for: a name completed with the active template, a date ("24030512"),
 * "la", "#..." or "cu..." current-time specifications, "@name" taken
 * literally, "none". The date the name stands for goes to the file date
 * (FILE_get_date). "exit" ends the program with 0. Returns 0. */
KAV_API int FILE_set_file(const char *file, char *out_file) KAV_NOEXCEPT;
/* Lists the files the active template can name, in columns at type
 * M_PRINT. No shell is involved. Returns 0. */
KAV_API int FILE_list_file(void) KAV_NOEXCEPT;
/* The header-file name for datim (null: the file date) into out_file. 1, or
 * 0 when the date has no year. */
KAV_API int FILE_hdr_set_date(const Date *datim, char *out_file) KAV_NOEXCEPT;
/* Starts stepping from datim (null: the file date) over the num_hour span
 * or through the filename resource's names. Returns 0. */
KAV_API int FILE_first(const Date *datim) KAV_NOEXCEPT;
/* The next name of the stepping into file (FILE_NAME_LEN bytes): 1, or 0
 * when the stepping is done. */
KAV_API int FILE_get_next(char *file) KAV_NOEXCEPT;
/* The names one step after and one step before the first file. Return 0. */
KAV_API int FILE_next_file(char *file) KAV_NOEXCEPT;
KAV_API int FILE_prev_file(char *file) KAV_NOEXCEPT;
/* The name for datim plus date_offset seconds into out_file; returns
 * date_offset divided by FILE_get_offset(). */
KAV_API int FILE_set_date_off(const Date *datim, int date_offset, char *out_file) KAV_NOEXCEPT;
/* The period of the convention's files in seconds, 100000 when it has none. */
KAV_API int FILE_get_offset(void) KAV_NOEXCEPT;
/* The span of the num_hour resource ("[-]h[:m][,[h][:m]]" or ":m") in
 * seconds (the default span when not set), and its step (the period when
 * none is written). */
KAV_API int FILE_num_hour(void) KAV_NOEXCEPT;
KAV_API int FILE_get_skip(void) KAV_NOEXCEPT;
/* Sets the span used when num_hour is not set to hour hours. Returns 0. */
KAV_API int FILE_set_def_hours(int hour) KAV_NOEXCEPT;
/* The span stepped over when no list of names is (seconds), else the number
 * of listed names less one. */
KAV_API int FILE_get_num_file(void) KAV_NOEXCEPT;
KAV_API int FILE_get_nsecs(void) KAV_NOEXCEPT;
KAV_API int FILE_set_nsecs(int val) KAV_NOEXCEPT;
KAV_API int FILE_get_num_hour(void) KAV_NOEXCEPT;
/* Prints str (printf-style) and the first date of the stepping at a debug
 * level. Returns 0. */
KAV_API int FILE_print_first_date(const char *str, ...) KAV_NOEXCEPT
    __attribute__((format(printf, 1, 2)));

KAV_END_DECLS

#endif
