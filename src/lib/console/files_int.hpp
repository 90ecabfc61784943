// Internal to the files module: the module state shared by files.cpp (the
// services and accessors) and files_conv.cpp (conventions and templates).
#ifndef KAV_FILES_INT_HPP
#define KAV_FILES_INT_HPP

#include <kav/files.h>

#include <array>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "console/date_int.hpp"

namespace kav_files {

// The one-deep save area of FILE_save_name_conv.
struct SavedConv {
  int late_off = 3600;
  std::string conv, hconv, filename;
  int filename_type = 0;
};

struct FileState {
  std::string filename;   // the current file name (up to 159 characters)
  int filename_type = 0;  // 1 from the user or set explicitly, 0 made from a convention
  std::string conv;       // the active name template
  std::string hconv;      // the header-file template; empty when none
  int header = 0;         // when set, hconv is used instead of conv
  std::string ext;        // extension from a partial type match (19 characters)
  std::string ext_info;   // extra information cut from a file name (39 characters)
  int min_size = 0;       // minimum size for a file to count as present (convention)
  int rmin_size = 0;      // minimum size set at run time; 0 when not set
  int late_off = 3600;    // period of the convention's files, seconds; -9999 without date escapes
  Date set = kNoDate;     // date fields the user has fixed; -9999 when free
  Date file_date = kNoDate;           // the date the last name made from a template stands for
  std::array<std::string, 256> keys;  // user values for template letters (29 characters)
  bool keys_cleared = false;          // the first FILE_set_name has emptied keys
  int file_type = 0;       // file kind set by the caller (0 '#' dates, 1 extra information)
  int shared = 0;          // sharing mode set by KAV_share
  SavedConv saved;         // the save area
  std::set<FILE *> pipes;  // streams FILE_open made with popen

  // File selection and stepping (config/files_select.cpp).
  std::vector<std::string> files;  // the filename resource's values for stepping
  int numfile = 0;                 // their count; 0 when stepping goes by time
  int file_ind = 0;                // index of the next name in files
  Date first_date = kNoDate;       // the date stepping starts from
  int num_hour = 0;                // span to step over, seconds (negative: backwards)
  int skip = 0;                    // step between files asked for, seconds
  int offset = 3600;               // the step used, seconds
  int secs = 0;                    // offset of the first file from first_date, seconds
  int nsecs = 0;                   // offset of the next file from first_date, seconds
  int def_hours = 0;               // span when num_hour is not set, seconds
  int retry = 4;                   // times the user is asked for a file name
};

FileState &state();
// s cut to fit a buffer of size bytes.
std::string cut(const std::string &s, size_t size);
// Copies s, cut to size bytes, into dst (nothing when dst is null).
void copy_out(char *dst, const std::string &s, size_t size);
// name with a leading ~ or ~user replaced by the home directory.
std::string expand_user(const std::string &name);
bool is_stdio(const char *name);

// The directory data files are looked for in when the file_path resource is
// not set: the kavfile environment variable, else share/kav of the
// installation this code was loaded from, else the configured data
// directory; null when none exists (names then stay relative to the working
// directory). The search of the file system runs once.
const char *data_dir();

}  // namespace kav_files

#endif
