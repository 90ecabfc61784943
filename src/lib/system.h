/* Process utilities: prompts, the exit routine, the version, and the commands
 * typed at prompts. */
#ifndef KAV_SYSTEM_H
#define KAV_SYSTEM_H

#include "lib/kavdefs.h"

KAV_BEGIN_DECLS

/* Prompts on the console and reads one line from standard input; a line that
 * is a command ("set ...", "exit") or does not scan is asked again. An empty
 * line, or the end of input, ends the prompt: the number prompts then return
 * 0 and the text prompts store nothing. */
KAV_API float KAV_promptf(const char *prompt);
KAV_API int KAV_promptd(const char *prompt);
/* Reads one word of at most 19 characters into str, or into a new
 * 81-character buffer when str is null (the caller frees it). Null when that
 * buffer cannot be allocated. */
KAV_API char *KAV_promptl(const char *prompt, char *str);
/* Reads one word of at most length-1 characters into str, or into a new
 * buffer of length+1 characters when str is null (the caller frees it). */
KAV_API char *KAV_prompts(const char *prompt, char *str, int length);

/* Ends the process with status, flushing the standard streams. */
KAV_API void KAV_exit(int status) __attribute__((noreturn));

/* The library's version text. */
KAV_API const char *KAV_version(void);

/* Handles a line typed at a prompt: non-zero when it was a command ("set"),
 * 0 otherwise; "exit" ends the process with 0. */
KAV_API int KAV_set_command(const char *string);

KAV_END_DECLS

#endif
