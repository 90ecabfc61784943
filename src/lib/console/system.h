/* Process utilities: prompts, the exit routine, the version, the commands
 * typed at prompts, child processes and their table, timing and memory. */
#ifndef KAV_SYSTEM_H
#define KAV_SYSTEM_H

#include <kav/kavdefs.h>
#include <kav/version.h>

KAV_BEGIN_DECLS

/* Prompts on the console and reads one line from standard input; a line that
 * is a command ("set ...", "exit") or does not scan is asked again. An empty
 * line, or the end of input, ends the prompt: the number prompts then return
 * 0 and the text prompts store nothing. */
KAV_API float KAV_promptf(const char *prompt) KAV_NOEXCEPT;
KAV_API int KAV_promptd(const char *prompt) KAV_NOEXCEPT;
/* Reads one word of at most 19 characters into str, or into a new
 * 81-character buffer when str is null (the caller frees it). Null when that
 * buffer cannot be allocated. */
KAV_API char *KAV_promptl(const char *prompt, char *str) KAV_NOEXCEPT;
/* Reads one word of at most length-1 characters into str, or into a new
 * buffer of length+1 characters when str is null (the caller frees it). */
KAV_API char *KAV_prompts(const char *prompt, char *str, int length) KAV_NOEXCEPT;

/* The exit status of a program whose standard output could not be written. */
#define KAV_EXIT_OUTPUT 74

/* Ends the process with status, flushing the standard streams. When standard
 * output could not be written (a full disc, a closed descriptor), it prints
 * an error naming the cause and a status of 0 becomes KAV_EXIT_OUTPUT. */
KAV_API void KAV_exit(int status) KAV_NOEXCEPT __attribute__((noreturn));

/* Handles a line typed at a prompt. "set name=value" or "set name value"
 * stores the resource, "set" alone lists the resources (both 1); a line
 * beginning "exit" ends the process with 0; anything else (or null) is an
 * ordinary answer: 0. */
KAV_API int KAV_set_command(const char *string) KAV_NOEXCEPT;

/* ---- The process table: up to KAV_MAX_PROC background children. Slots are
 * numbered 0 to KAV_MAX_PROC-1; a slot out of range reads as free. ---- */

#define KAV_MAX_PROC 10

/* One slot of the table. */
typedef struct {
  int index;     /* unused */
  char name[15]; /* the program name (the child's argv[0]), cut to 14 */
  int id;        /* the child's process id; -1 marks a free slot */
} proc_item;

/* Puts pid and name into the first free slot: its number, or -1 when the
 * table is full. */
KAV_API int KAV_add_proc(int pid, const char *name) KAV_NOEXCEPT;
/* One more than the highest slot ever filled; never lowered. */
KAV_API int KAV_numproc(void) KAV_NOEXCEPT;
/* The slot holding pid, or -1. */
KAV_API int KAV_proc(int pid) KAV_NOEXCEPT;
/* The slot's process id (-1 for a free slot). */
KAV_API int KAV_proc_id(int proc) KAV_NOEXCEPT;
/* The slot's program name (owned by the table; empty for a free slot). */
KAV_API const char *KAV_proc_name(int proc) KAV_NOEXCEPT;
/* Sets the slot's process id. 0, or -1 for a slot out of range. */
KAV_API int KAV_set_proc(int proc, int value) KAV_NOEXCEPT;
/* Frees the slot; -1 (no slot) changes nothing. Returns 0. */
KAV_API int KAV_clr_proc(int proc) KAV_NOEXCEPT;
/* 1 when the slot's process still exists (a signal-0 probe succeeds); else
 * the slot is freed and the result is 0 (also for a free slot). */
KAV_API int KAV_chk_proc(int proc) KAV_NOEXCEPT;

/* ---- Starting programs ---- */

/* The files a started program reads as standard input and writes as standard
 * output; null or empty clears them. Return 1. */
KAV_API int KAV_set_infile(const char *name) KAV_NOEXCEPT;
KAV_API int KAV_set_outfile(const char *name) KAV_NOEXCEPT;

/* Starts the program filename (searched along the command path of env) with
 * argv (null-terminated, argv[0] the program's name; null gives just the
 * name) and the environment env (null keeps the current one). flag 2 runs it
 * in the background, flag 1 makes the child first change directory to
 * filename. Foreground: the child's exit code (1 when it could not open its
 * files or directory, 2 when the program could not be executed, 128 + the
 * signal number when a signal ended it), -1 when no child could be created.
 * Background: the slot from KAV_add_proc (-1 when the table is full, the child
 * running), 0 without starting anything once KAV_numproc() is 10. */
KAV_API int KAV_run(const char *filename, char *const argv[], char *const env[],
                    int flag) KAV_NOEXCEPT;

/* Runs func(arg) in a child process and waits: func's result as the child's
 * exit code (0 to 255; 128 + the signal number when a signal ended it), -1
 * when no child could be created or func is null. */
KAV_API int KAV_run_func(int (*func)(void *), void *arg) KAV_NOEXCEPT;

/* Detaches the program: the parent ends through KAV_exit(0), the child
 * carries on with the null device as its standard streams, in a process group
 * of its own. 1 in the detached child; 0 when it could not detach. */
KAV_API int KAV_back_proc(void) KAV_NOEXCEPT;

/* The running program's process id. */
KAV_API int KAV_get_pid(void) KAV_NOEXCEPT;

/* ---- Timing and memory ---- */

/* Pauses for secs seconds (whole microseconds) and adds secs to the total
 * slept. -1 without a pause when secs is 0, negative or not a number; else
 * 0. */
KAV_API int KAV_sleep(float secs) KAV_NOEXCEPT;
/* Starts the elapsed-time clock and clears the total slept. Returns 0. */
KAV_API int KAV_init_time(void) KAV_NOEXCEPT;
/* Seconds since KAV_init_time; the total slept through KAV_sleep when the
 * clock reads a whole second exactly (a clock without a sub-second part). */
KAV_API float KAV_elapse_time(void) KAV_NOEXCEPT;
/* The process's virtual memory size in bytes, or 0 when it cannot be read. */
KAV_API long KAV_get_virt_mem(void) KAV_NOEXCEPT;

KAV_END_DECLS

#endif
