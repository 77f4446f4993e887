#pragma once

#include <string>
#include <string_view>
#include <vector>

class QPlainTextEdit;

namespace morvane {

// The response list is the text of a QPlainTextEdit, one block per line; its lines are bytes,
// shown through the response-line codec. A text that ends with a line break has an empty last
// block.

// Appends each line as a new last line: after an empty last line it goes there followed by a
// break; after a last line without a break it goes after a new break and has none itself.
void AppendResponseLines(QPlainTextEdit &list, const std::vector<std::string> &lines);

// Replaces the whole text, in one go; finalBreak ends the text with a line break. Like every
// change made here, it is one step of the list's undo history.
void SetResponseLines(QPlainTextEdit &list, const std::vector<std::string> &lines, bool finalBreak);

// Empties the list, as one step of its undo history.
void ClearResponseList(QPlainTextEdit &list);

// Lines of the text, not counting the one empty line after a final break. A soft line break
// inside a block counts as a line break, as it is saved as one.
int ResponseLineCount(const QPlainTextEdit &list);

// The text as the bytes a response file holds: lines joined by CR LF. Throws an Error naming the
// line and the character when the text holds one that Windows-1252 cannot represent.
std::string ResponseListBytes(const QPlainTextEdit &list);

// Shows a response file's text by the reading rule (ends at the first zero byte, CR LF, CR and LF
// each end a line), keeping a final line break when the text has one.
void ShowResponseText(QPlainTextEdit &list, std::string_view text);

} // namespace morvane
