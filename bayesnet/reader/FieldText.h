#ifndef BAYESNET_FIELDTEXT_H_
#define BAYESNET_FIELDTEXT_H_

#include <string>
#include <vector>

// The field text of LinkSource and ConditionalTable rows and names.
namespace fieldtext {

// Cuts `text` into `fields` at ';', with '\' escaping a following '\' or
// ';'. A trailing ';' adds no empty field. Returns false on a bad escape,
// in which case the rest of the text from the current field's start
// becomes the last field.
bool SplitEscaped(std::vector<std::string>& fields, const std::string& text);

// `text` without the spaces at its start and end; other whitespace stays.
std::string TrimBlanks(const std::string& text);
// The same in place.
void TrimBlanksInPlace(std::string& text);

}  // namespace fieldtext

#endif  // BAYESNET_FIELDTEXT_H_
