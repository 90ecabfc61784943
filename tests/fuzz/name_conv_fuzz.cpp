// Fuzz harness for the name convention file and the template language: the
// first line of the input is the requested type (with any :K=value keys),
// the rest is the convention file. The selected template is expanded for a
// fixed date, with fixed fields taken from the second line's first bytes, and
// the type text is also read back as a date label.
#include <kav/date.h>
#include <kav/files.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const std::string conv_file = "/tmp/kav_name_conv_fuzz." + std::to_string(getpid());
  static bool ready = false;
  if (!ready) {
    MESS_set(10, 0);  // nothing on the console
    RES_put("name_conv", conv_file.c_str());
    RES_put("data_path", "/data");
    ready = true;
  }
  const std::string input(reinterpret_cast<const char *>(data), size);
  const size_t nl = input.find('\n');
  const std::string type = input.substr(0, nl);
  const std::string body = nl == std::string::npos ? "" : input.substr(nl + 1);
  if (FILE *fp = std::fopen(conv_file.c_str(), "wb")) {
    std::fwrite(body.data(), 1, body.size(), fp);
    std::fclose(fp);
  }
  Date fixed;
  DATE_init(&fixed);
  if (body.size() >= 3) {
    fixed.day = static_cast<signed char>(body[0]);
    fixed.hour = static_cast<signed char>(body[1]) * 3;
    fixed.min = static_cast<signed char>(body[2]) * 5;
  }
  FILE_set_time(&fixed);
  FILE_set_name(type.c_str());
  Date d = {2024, 3, 5, 65, 2, 12, 30, 0};
  char out[FILE_NAME_LEN];
  FILE_set_header(0);
  FILE_set_date(&d, out);
  FILE_set_header(1);
  FILE_set_date(nullptr, out);
  FILE_set_header(0);
  FILE_reset_time();
  Date back;
  DATE_decode_label(type.c_str(), &back);
  std::vector<char> label(20 * type.size() + 1);
  DATE_format_label(label.data(), type.c_str(), 36, "M", &d);
  std::remove(conv_file.c_str());
  return 0;
}
