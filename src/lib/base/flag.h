/* Process flags (30 numeric slots shared by the modules) and the 13 plot-item
 * switches. */
#ifndef KAV_FLAG_H
#define KAV_FLAG_H

#include <kav/kavdefs.h>

KAV_BEGIN_DECLS

#define FLAG_COUNT 30
#define FLAG_PLOT_COUNT 13

/* Known slots. */
#define FLAG_DEVICE 2
#define FLAG_GRID_INPUT 4
#define FLAG_REGION 5
#define FLAG_READ_TIME 6
#define FLAG_LEVEL_TYPE 7
#define FLAG_LEVEL_VALUE 8
#define FLAG_PLOT_TYPE 11
#define FLAG_UPA_INPUT 14
#define FLAG_FILE_PARAM 15
#define FLAG_GRID_FILE 17
#define FLAG_BATCH 19
#define FLAG_HELP 20

/* The slot's value; 0 when flag is outside 0..29. */
KAV_API int FLAG_get(int flag) KAV_NOEXCEPT;
KAV_API long FLAG_getl(int flag) KAV_NOEXCEPT;

/* Sets a slot. 0, or -1 and no change when flag is outside 0..29. */
KAV_API int FLAG_set(int flag, int value) KAV_NOEXCEPT;
KAV_API int FLAG_setl(int flag, long value) KAV_NOEXCEPT;

/* Sets every slot to value. Returns 0. */
KAV_API int FLAG_reset(int value) KAV_NOEXCEPT;
KAV_API int FLAG_resetl(long value) KAV_NOEXCEPT;

/* 1 when batch mode (slot 19) is above 0, else 0. */
KAV_API int FLAG_batch(void) KAV_NOEXCEPT;
/* Sets slot 19. Returns 0. */
KAV_API int FLAG_set_batch(int val) KAV_NOEXCEPT;
/* 1 when help was requested (slot 20 above 0), else 0. */
KAV_API int FLAG_help(void) KAV_NOEXCEPT;

/* Sets plot switch type (0..12) to val: 12 sets 0..11, 0 sets 0..6; then
 * switch 0 becomes the sum of 1..6 and switch 12 the sum of 0..11. Returns 0
 * (-1 for a type outside 0..12). */
KAV_API int FLAG_setplot(int type, int val) KAV_NOEXCEPT;
/* The switch (0 for a type outside 0..12). */
KAV_API int FLAG_getplot(int type) KAV_NOEXCEPT;
/* Sets all 13 switches to val. Returns 0. */
KAV_API int FLAG_resetplot(int val) KAV_NOEXCEPT;

KAV_END_DECLS

#endif
