// Internal to the library: the bounded line and token readers of the modules
// that read text files into std::string (the C line readers are in tools.h).
#ifndef KAV_BASE_TOOLS_INT_HPP
#define KAV_BASE_TOOLS_INT_HPP

#include <cstddef>
#include <cstdio>
#include <string>

namespace kav::text {

// What becomes of a carriage return that ends a line read.
enum class CarriageReturn {
  Drop,  // removed, so that lines ending in CR LF read as lines ending in LF
  Keep,  // left at the end of the text
};

// Reads the next line of fp into line, without its line feed, keeping at most
// max characters: the rest of a longer line is passed over and *longer (when
// given) tells whether anything was. False at the end of the file, when not
// even a line feed was left to read, and when a read failed (the line is then
// emptied: std::ferror tells the two apart, and a reader that stops at false
// must check it before taking what it read for the whole file).
bool read_line(std::FILE *fp, std::string &line, std::size_t max,
               CarriageReturn cr = CarriageReturn::Drop, bool *longer = nullptr);

// Reads the next token of fp (characters other than blanks, tabs, line ends,
// vertical tabs and form feeds) into tok, passing over the white space before
// it; the character that ends it stays in the stream. False at the end of the
// stream, when a read failed (std::ferror tells), or for a token longer than
// max characters (then the part read is gone). *ended (when given) tells whether the stream ended
// right after the token, so that a value cut short can be told apart.
bool read_token(std::FILE *fp, std::string &tok, std::size_t max, bool *ended = nullptr);

}  // namespace kav::text

#endif
