#include <kav/plot_label.h>

namespace {

struct PlotLabelState {
  int label_type = 0;  // how descriptions read: see PLT_get_label_type
};

PlotLabelState &state() {
  static PlotLabelState s;
  return s;
}

}  // namespace

extern "C" {

int PLT_get_label_type(void) { return state().label_type; }

int PLT_set_label_type(int type) {
  const int old = state().label_type;
  state().label_type = type;
  return old;
}

}  // extern "C"
