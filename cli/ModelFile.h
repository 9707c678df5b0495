#ifndef BNSCORE_CLI_MODELFILE_H_
#define BNSCORE_CLI_MODELFILE_H_

#include <optional>
#include <string>

namespace bnscore::cli {

// Looks at the first bytes of the model file `path` before the XML parser
// reads it. A gzip-compressed file is decompressed here and its text
// returned (at most one byte more than a document may have, so that the
// parser's own limit still speaks); a text file gives nullopt, to be read
// by path. UTF-16 and UTF-32 text, which the parser does not take, and
// binary data are refused with bnscore::Error ("PATH: looks like UTF-16 text
// ...; convert it to UTF-8", "PATH: looks like ...; a model is a PMML (XML)
// document"), as is corrupt gzip data. A file that cannot be opened gives
// nullopt (the loader says why).
std::optional<std::string> ReadCompressedModel(const std::string& path);

}  // namespace bnscore::cli

#endif  // BNSCORE_CLI_MODELFILE_H_
