// A check of a classic netCDF header (CDF-1, CDF-2 and CDF-5) before the
// netCDF library parses it: the library trusts the counts and lengths of a
// header and can crash on hostile ones, so every count, name and attribute
// is first walked here against the bytes the file really holds.
#include <kav/mess.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/fault.hpp"
#include "grid/cdf_int.hpp"

namespace kav::cdf {
namespace {

constexpr size_t kMaxHeader = size_t{64} << 20;  // longest header walked
constexpr uint64_t kMaxName = 256;               // longest name

class Walker {
 public:
  Walker(const std::vector<unsigned char> &b, int version) : b_(b), wide_(version == 5) {}

  bool u32(uint64_t *v) {
    if (at_ + 4 > b_.size()) return false;
    *v = uint64_t{b_[at_]} << 24 | uint64_t{b_[at_ + 1]} << 16 | uint64_t{b_[at_ + 2]} << 8 |
         b_[at_ + 3];
    at_ += 4;
    return true;
  }
  bool u64(uint64_t *v) {
    uint64_t hi = 0, lo = 0;
    if (!u32(&hi) || !u32(&lo)) return false;
    *v = hi << 32 | lo;
    return true;
  }
  // A count: 4 bytes, 8 in CDF-5.
  bool count(uint64_t *v) { return wide_ ? u64(v) : u32(v); }
  bool skip(uint64_t n) {
    if (n > b_.size() - at_) return false;
    at_ += static_cast<size_t>(n);
    return true;
  }
  size_t left() const { return b_.size() - at_; }

  bool name(std::string &why) {
    uint64_t n = 0;
    if (!count(&n) || n == 0 || n > kMaxName || n > left()) {
      why = "bad name length";
      return false;
    }
    for (size_t i = 0; i < n; ++i) {
      const unsigned char c = b_[at_ + i];
      if (c < 0x20 || c == 0x7f || c == '/') {
        why = "bad character in a name";
        return false;
      }
    }
    return skip((n + 3) / 4 * 4) || (why = "name past the end", false);
  }

  bool atts(std::string &why) {
    uint64_t tag = 0, n = 0;
    if (!u32(&tag) || !count(&n)) return (why = "attribute list past the end", false);
    if (tag == 0 && n == 0) return true;
    if (tag != 0x0C || n > left() / 12) return (why = "bad attribute list", false);
    for (uint64_t i = 0; i < n; ++i) {
      uint64_t type = 0, len = 0;
      if (!name(why)) return false;
      if (!u32(&type) || !count(&len)) return (why = "attribute past the end", false);
      const uint64_t size = type_bytes(type);
      if (size == 0) return (why = "bad attribute type", false);
      if (len > left() / size) return (why = "attribute values past the end", false);
      if (!skip((len * size + 3) / 4 * 4)) return (why = "attribute values past the end", false);
    }
    return true;
  }

  uint64_t type_bytes(uint64_t type) const {
    switch (type) {
      case 1:
      case 2:
        return 1;
      case 3:
        return 2;
      case 4:
      case 5:
        return 4;
      case 6:
        return 8;
      case 7:
        return wide_ ? 1 : 0;
      case 8:
        return wide_ ? 2 : 0;
      case 9:
        return wide_ ? 4 : 0;
      case 10:
      case 11:
        return wide_ ? 8 : 0;
      default:
        return 0;
    }
  }

 private:
  const std::vector<unsigned char> &b_;
  size_t at_ = 4;
  bool wide_;
};

bool walk(const std::vector<unsigned char> &b, std::string &why) {
  const int version = b[3];
  Walker w(b, version);
  uint64_t numrecs = 0, tag = 0, n = 0;
  if (!w.count(&numrecs)) return (why = "short header", false);
  // Dimensions.
  if (!w.u32(&tag) || !w.count(&n)) return (why = "short header", false);
  uint64_t ndims = 0;
  if (!(tag == 0 && n == 0)) {
    if (tag != 0x0A || n > w.left() / 8) return (why = "bad dimension list", false);
    ndims = n;
    int unlimited = 0;
    for (uint64_t i = 0; i < n; ++i) {
      uint64_t len = 0;
      if (!w.name(why)) return false;
      if (!w.count(&len)) return (why = "dimension past the end", false);
      if (len == 0 && ++unlimited > 1) return (why = "two record dimensions", false);
    }
  }
  if (!w.atts(why)) return false;
  // Variables.
  if (!w.u32(&tag) || !w.count(&n)) return (why = "short header", false);
  if (tag == 0 && n == 0) return true;
  if (tag != 0x0B || n > w.left() / 16) return (why = "bad variable list", false);
  for (uint64_t i = 0; i < n; ++i) {
    uint64_t rank = 0, type = 0, vsize = 0, begin = 0;
    if (!w.name(why)) return false;
    if (!w.count(&rank) || rank > 1024 || rank > w.left() / 4)
      return (why = "bad variable rank", false);
    for (uint64_t k = 0; k < rank; ++k) {
      uint64_t dim = 0;
      if (!w.count(&dim) || dim >= ndims) return (why = "bad dimension id", false);
    }
    if (!w.atts(why)) return false;
    if (!w.u32(&type) || w.type_bytes(type) == 0) return (why = "bad variable type", false);
    if (!w.count(&vsize)) return (why = "variable past the end", false);
    const bool ok64 = version == 1 ? w.u32(&begin) : w.u64(&begin);
    if (!ok64) return (why = "variable past the end", false);
  }
  return true;
}

}  // namespace

bool header_sane(const char *path, std::string &why) {
  // Closed however the check ends, memory running out included.
  const std::unique_ptr<FILE, int (*)(FILE *)> hold(kav::fault::open(path, "rb"), &std::fclose);
  FILE *const fp = hold.get();
  if (!fp) return true;  // the library says why it cannot open it
  std::vector<unsigned char> b(4);
  const bool classic =
      std::fread(b.data(), 1, 4, fp) == 4 && b[0] == 'C' && b[1] == 'D' && b[2] == 'F';
  if (std::ferror(fp)) {
    why = "unable to read the file";
    return false;
  }
  if (!classic) return true;  // netCDF-4 and anything else: the library's own checks
  if (b[3] != 1 && b[3] != 2 && b[3] != 5) {
    why = "unknown version";
    return false;
  }
  // Headers are short: read a little, and more only while the walk runs
  // past what was read.
  unsigned char chunk[65536];
  size_t want = sizeof chunk;
  bool end = false;
  for (;;) {
    while (!end && b.size() < want) {
      const size_t got = std::fread(chunk, 1, sizeof chunk, fp);
      if (std::ferror(fp)) {
        why = "unable to read the file";
        return false;
      }
      if (got == 0) end = true;
      b.insert(b.end(), chunk, chunk + got);
    }
    if (walk(b, why)) break;
    if (end || want >= kMaxHeader) return false;
    want *= 4;
  }
  return true;
}

}  // namespace kav::cdf
