/* A C program built against the installed library: the wind chill of 20 F
 * in a 15-knot wind, its units converted through the installed units.lup,
 * which the library finds by itself unless -fp names a directory. */
#include <stdio.h>

#include "kav_all.h" /* every installed public header */

int main(int argc, char **argv) {
  static const res_type keyed[] = {RES_file_path, RES_null};
  static const res_type positional[] = {RES_null};
  const char *dir;
  float t, v, w;
  RES_init(argc, argv, keyed, positional);
  dir = RES_get("file_path");
  t = UNIT_cvt(20.0f, "F", "K");
  v = UNIT_cvt(15.0f, "knots", "m/s");
  w = UNIT_cvt(wind_chill_temp2(t, v), "K", "F");
  printf("data %s\n", dir ? dir : "(none)");
  printf("temperature %.2f K\n", (double)t);
  printf("wind %.3f m/s\n", (double)v);
  printf("wind chill %.1f F\n", (double)w);
  return is_missing(t) || is_missing(v) || is_missing(w) ? 1 : 0;
}
