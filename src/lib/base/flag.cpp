#include <kav/flag.h>

namespace {

// Process-wide flag state.
struct FlagState {
  long flags[FLAG_COUNT];        // numeric switches shared by the modules
  int plot_it[FLAG_PLOT_COUNT];  // plot-item switches; 0 and 12 are sums
  FlagState() {
    for (long &f : flags) f = KAV_IMISSING;
    for (int &p : plot_it) p = 1;
  }
};

FlagState &state() {
  static FlagState s;
  return s;
}

bool in_range(int flag) { return flag >= 0 && flag < FLAG_COUNT; }

void resum_plot() {
  int *p = state().plot_it;
  p[0] = 0;
  for (int i = 1; i <= 6; ++i) p[0] += p[i];
  p[12] = 0;
  for (int i = 0; i <= 11; ++i) p[12] += p[i];
}

}  // namespace

extern "C" {

int FLAG_get(int flag) KAV_NOEXCEPT {
  return in_range(flag) ? static_cast<int>(state().flags[flag]) : 0;
}

long FLAG_getl(int flag) KAV_NOEXCEPT { return in_range(flag) ? state().flags[flag] : 0; }

int FLAG_set(int flag, int value) KAV_NOEXCEPT { return FLAG_setl(flag, value); }

int FLAG_setl(int flag, long value) KAV_NOEXCEPT {
  if (!in_range(flag)) return -1;
  state().flags[flag] = value;
  return 0;
}

int FLAG_reset(int value) KAV_NOEXCEPT { return FLAG_resetl(value); }

int FLAG_resetl(long value) KAV_NOEXCEPT {
  for (long &f : state().flags) f = value;
  return 0;
}

int FLAG_batch(void) KAV_NOEXCEPT { return state().flags[FLAG_BATCH] > 0 ? 1 : 0; }

int FLAG_set_batch(int val) KAV_NOEXCEPT { return FLAG_set(FLAG_BATCH, val); }

int FLAG_help(void) KAV_NOEXCEPT { return state().flags[FLAG_HELP] > 0 ? 1 : 0; }

int FLAG_setplot(int type, int val) KAV_NOEXCEPT {
  if (type < 0 || type >= FLAG_PLOT_COUNT) return -1;
  int *p = state().plot_it;
  p[type] = val;
  if (type == 12)
    for (int i = 0; i <= 11; ++i) p[i] = val;
  if (type == 0)
    for (int i = 0; i <= 6; ++i) p[i] = val;
  resum_plot();
  return 0;
}

int FLAG_getplot(int type) KAV_NOEXCEPT {
  return (type >= 0 && type < FLAG_PLOT_COUNT) ? state().plot_it[type] : 0;
}

int FLAG_resetplot(int val) KAV_NOEXCEPT {
  for (int &p : state().plot_it) p = val;
  return 0;
}

}  // extern "C"
