// Internal to the library: output files that are replaced whole or not at
// all. A file the library writes goes to a new temporary file beside it and
// takes the old one's place only when everything was written and closed; a
// failure removes the temporary and leaves the old file as it was.
#ifndef KAV_CONSOLE_FILES_OUT_HPP
#define KAV_CONSOLE_FILES_OUT_HPP

#include <sys/types.h>

#include <cstdio>
#include <string>

namespace kav {

// The target of a replacement and its temporary, for files written by name
// (OutFile below, or another library such as netCDF that opens the file
// itself). Not copyable; the destructor drops an unfinished temporary.
class Replacement {
 public:
  Replacement() = default;
  ~Replacement();
  Replacement(const Replacement &) = delete;
  Replacement &operator=(const Replacement &) = delete;

  // Takes a user's file name (a leading ~ expanded) and finds what is to be
  // replaced: a symbolic link is followed to the file it names, which may
  // not exist yet; missing directories are made. False, with errno set, when
  // the name is empty or its links do not end.
  bool prepare(const char *file);
  // True when the target is a regular file or not there yet (a temporary is
  // used); false for a device, a named pipe, a directory or the like, which
  // are written in place.
  bool replaceable() const { return replaceable_; }
  // The file that is replaced (links followed).
  const std::string &target() const { return target_; }
  // The target existed as a regular file with content.
  bool had_content() const { return old_size_ > 0; }
  // Claims a fresh name for the temporary, in the target's directory, and
  // returns it; the caller then creates it exclusively. From here on the
  // name counts as this process's own, removed by abandon(), so that a
  // creation cut short by an exception leaves nothing behind, unless
  // unclaim() says the name was someone else's (the creation found it
  // taken).
  const std::string &claim();
  void unclaim();
  // The claimed temporary exists: it gets the old file's owner and
  // permissions (through fd when not -1, else by name).
  void created(int fd);
  const std::string &temp() const { return temp_; }
  // Puts the temporary in the target's place. False, with errno set, when
  // it cannot (the temporary is then removed).
  bool commit();
  // Removes the temporary (if this process made it); the target stays as it
  // was.
  void abandon();
  // Something written to the temporary failed: commit() will not run.
  void fail() { failed_ = true; }
  bool failed() const { return failed_; }

 private:
  std::string target_;       // the file replaced
  std::string temp_;         // the temporary, empty when none
  bool replaceable_ = true;  // a regular file or none
  bool existed_ = false;     // the target existed
  mode_t mode_ = 0;          // its permission bits
  uid_t uid_ = 0;            // its owner
  gid_t gid_ = 0;            // and group
  long long old_size_ = 0;   // its size
  pid_t pid_ = 0;            // process that made the temporary
  bool failed_ = false;      // a write failed
  unsigned serial_ = 0;      // names claimed
};

// A file written through a stdio stream and replaced whole or not at all.
// Standard output ("", "-", "std", "stdn") and command pipes ("|command")
// are written directly, and so are targets that are not regular files.
// Messages name the function given (who) and the kind of file (what, such
// as "grid file"); a failure is reported once.
class OutFile {
 public:
  OutFile() = default;
  ~OutFile();
  OutFile(const OutFile &) = delete;
  OutFile &operator=(const OutFile &) = delete;

  // Opens the file for writing; with append, the old content is kept in
  // front of what is written. False, with the message "WHO: Unable to open
  // WHAT: NAME", when it cannot be opened.
  bool open(const char *who, const char *what, const char *file, bool append);
  bool is_open() const { return fp_ != nullptr; }
  std::FILE *stream() const { return fp_; }
  // The stream's descriptor (-1 when none).
  int descriptor() const;
  // Appending to a file that had content.
  bool had_content() const { return had_content_; }
  // After a batch of writes: false when any has failed since the open (the
  // output is then lost: close() will not put it in place). The first
  // failure is reported as "WHO: Unable to write WHAT: NAME (reason)".
  bool check(const char *who);
  // A failure that the stream cannot show (memory ran out half-way through
  // a record): the output is lost.
  void fail() { failed_ = true; }
  bool failed() const { return failed_; }
  // Flushes, closes and puts the file in place. False when anything failed:
  // the temporary is removed and the old file stays; a failure not yet
  // reported is reported naming who.
  bool close(const char *who);
  // Closes and removes the temporary without putting it in place.
  void abandon();

 private:
  void report(const char *who, const char *doing, int err);

  std::FILE *fp_ = nullptr;  // the stream written
  bool direct_ = false;      // written in place (no temporary)
  bool stdio_ = false;       // standard output
  bool had_content_ = false;
  bool failed_ = false;    // a write failed
  bool reported_ = false;  // the failure was reported
  int err_ = 0;            // errno of the first failure
  std::string what_;       // kind of file, for messages
  std::string name_;       // the name as given, for messages
  Replacement rep_;        // target and temporary
};

}  // namespace kav

#endif
