/* Console messages: one output function filtered by a level mask, copy and
 * log files, paging and the program banner. */
#ifndef KAV_MESS_H
#define KAV_MESS_H

#include <kav/kavdefs.h>
#include <stdint.h>

KAV_BEGIN_DECLS

/* A message type or level: eight groups of four bits. */
typedef uint32_t M_type;

#define M_PRINT 0x0000000Fu
#define M_ERROR 0x00000030u
#define M_WARN 0x000000C0u
#define M_MESS 0x00000F00u
#define M_OUT1 0x0000F000u
#define M_OUT2 0x000F0000u
#define M_OUT3 0x00F00000u
#define M_OUT4 0x0F000000u
#define M_DEBUG 0xF0000000u

/* The sub-levels a to d of every group (a trailing letter in a level
 * specification, "debugd"): a group masked by one of them is one message
 * type, e.g. M_DEBUG & M_SUB_D (0x80000000) for tracing. */
#define M_SUB_A 0x11111111u
#define M_SUB_B 0x22222222u
#define M_SUB_C 0x44444444u
#define M_SUB_D 0x88888888u

/* Prints a printf-style message of the given type when it shares a bit with
 * the level: errors and warnings to standard error, the rest to standard
 * output, with copies to the copy and log files. Returns 1 when the message
 * reached the console, else 0. */
KAV_API int MESS_print(M_type type, const char *mess, ...) KAV_NOEXCEPT
    __attribute__((format(printf, 2, 3)));

/* Changes the level: oper 0/10/20 set with fill-down from the highest bit,
 * 1/11/21 add bits, -1/9/19 remove bits. Operations up to 4 count as
 * explicit settings; 16 and above apply only while none was made. Returns 0. */
KAV_API int MESS_set(int oper, M_type level) KAV_NOEXCEPT;

/* Applies a message specification ("mess,+debug,@fi=log,page,line=30").
 * Counts as one explicit setting. Returns 0. */
KAV_API int MESS_set_str(const char *str) KAV_NOEXCEPT;

/* The current level. */
KAV_API M_type MESS_get(void) KAV_NOEXCEPT;

/* 1 when level shares a bit with the current level, else 0. */
KAV_API int MESS_check(M_type level) KAV_NOEXCEPT;

/* The number of explicit level settings so far (0 = none). */
KAV_API int MESS_check_set(void) KAV_NOEXCEPT;

/* Closes any copy file and opens filename with the fopen mode access as the
 * new one; every shown message is copied to it. Returns 0. */
KAV_API int MESS_file(const char *filename, const char *access) KAV_NOEXCEPT;

/* Closes the copy file. Returns 0. */
KAV_API int MESS_file_close(void) KAV_NOEXCEPT;

/* Sets the routing: -1 console and time-stamped log, 0 log only, 1 console
 * and log, 2 console and a log opened around each message. Returns 0. */
KAV_API int MESS_set_out(int val) KAV_NOEXCEPT;

/* Sets paging: 0 off, 1 hold only, 2 paging. Returns 0. */
KAV_API int MESS_set_page(int val) KAV_NOEXCEPT;

/* Lines per page. */
KAV_API int MESS_get_max_lines(void) KAV_NOEXCEPT;

/* Shows mess and waits for one character, unless the type is not shown,
 * output goes to the log only, batch mode is on or paging is off. Returns 0. */
KAV_API int MESS_hold(M_type type, const char *mess) KAV_NOEXCEPT;

/* Prints the program banner "      TITLE (Ver VERSION)" and an empty line at
 * type M_MESS. Returns 0. */
KAV_API int MESS_print_prog(const char *string) KAV_NOEXCEPT;

KAV_END_DECLS

#endif
