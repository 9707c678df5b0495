#ifndef BNSCORE_CLI_INPUTKIND_H_
#define BNSCORE_CLI_INPUTKIND_H_

#include <string>
#include <string_view>

namespace bnscore::cli {

// What the first bytes of an input say it is.
struct InputKind {
  enum Kind {
    Text,    // UTF-8 (or ASCII) text, as far as the bytes show
    Gzip,    // gzip-compressed (magic bytes 1F 8B)
    Wide,    // UTF-16 or UTF-32 text
    Binary,  // binary data, or another compressed format
  };
  Kind kind = Text;
  // For Wide and Binary: what the input looks like and what to do, e.g.
  // "looks like UTF-16 text (byte-order mark FF FE); convert it to UTF-8".
  std::string description;

  bool IsRefused() const { return kind == Wide || kind == Binary; }
};

// Classifies an input by its first bytes (a few hundred are enough; fewer
// at the end of a short input). Text with a UTF-8 byte-order mark is Text.
// Wide or Binary, which record readers refuse, are: a UTF-16 or UTF-32
// byte-order mark; NUL bytes in a tenth
// or more of the bytes (UTF-16 without a mark when they fill half or more
// of the odd or of the even bytes and few of the others, else binary
// data), while a few stray NULs are data as any other byte; and
// the magic bytes of zip (and so .xlsx), legacy Office, bzip2, xz, zstd and
// Parquet files.
InputKind ClassifyInput(std::string_view head);

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_INPUTKIND_H_
