// The overwrite question: asked at the console prompt, so it sits above the
// file layer with the prompts.
#include <kav/files.h>
#include <kav/flag.h>
#include <kav/system.h>

#include <cctype>
#include <string>

#include "console/files_int.hpp"
#include "console/guard.hpp"

using kav_files::is_stdio;

extern "C" {

int FILE_overwrite(const char *filename, int flag) KAV_NOEXCEPT try {
  if (!filename || is_stdio(filename) || !FILE_exist(filename)) return 1;
  const int preset = FLAG_get(FLAG_FILE_PARAM);
  if (preset > 0) return preset;
  if (FLAG_batch()) return 3;
  if (flag != 1 && flag != 2) return 0;
  const std::string prompt =
      std::string(filename) + (flag == 2 ? ": exists overwrite (Y,N,Use,Over,App): "
                                         : ": exists overwrite (Y,N,Use,Over): ");
  char answer[16] = "";
  KAV_prompts(prompt.c_str(), answer, 10);
  const int c = std::toupper(static_cast<unsigned char>(answer[0]));
  if (c == 'Y' || c == 'O') return 1;
  if (flag == 2 && c == 'A') return 2;
  return 3;
} catch (...) {
  kav::out_of_memory("FILE_overwrite");
  return -1;
}

}  // extern "C"
