/* Plot labels: the label type that decides how data descriptions read. */
#ifndef KAV_PLOT_LABEL_H
#define KAV_PLOT_LABEL_H

#include <kav/kavdefs.h>

KAV_BEGIN_DECLS

/* The current label type (0 until set). -1, 0 and 1 ask descriptions for
 * their time and level text; a negative type asks for abbreviations instead
 * of variable names; 2 and above give the variable name alone. */
KAV_API int PLT_get_label_type(void);

/* Sets the label type for the rest of the process; returns the old one. */
KAV_API int PLT_set_label_type(int type);

KAV_END_DECLS

#endif
