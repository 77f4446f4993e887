#include "editor/ResponseListText.h"

#include "platform/Errors.h"
#include "responses/ResponseFile.h"
#include "responses/ResponseTextCodec.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <optional>

namespace morvane {

namespace {

// '\n' is what a text document turns into a block boundary.
QString joinedText(const std::vector<std::string> &lines)
{
    QString text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += QLatin1Char('\n');
        text += QString::fromStdU16String(DecodeResponseLine(lines[i]));
    }
    return text;
}

// A soft line break (Shift+Return, or pasted) stays inside its block; it is saved as a line break,
// so it is counted as one.
bool isSoftBreak(QChar character)
{
    return character == QChar::LineSeparator || character == QChar::ParagraphSeparator;
}

bool endsWithBreak(const QTextDocument &document)
{
    const QString last = document.lastBlock().text();
    return last.isEmpty() ? document.blockCount() > 1 : isSoftBreak(last.back());
}

bool isEmpty(const QTextDocument &document)
{
    return document.blockCount() == 1 && document.firstBlock().text().isEmpty();
}

QString shown(const QString &text, qsizetype at)
{
    const qsizetype length = text[at].isHighSurrogate() && at + 1 < text.size() ? 2 : 1;
    return text.mid(at, length);
}

std::string unencodableMessage(int lineNumber, const QString &character)
{
    const QString code
        = QString::number(character.toUcs4().value(0), 16).toUpper().rightJustified(4, QLatin1Char('0'));
    return QStringLiteral(
               "Line %1 holds the character \u201C%2\u201D (U+%3), which a response file cannot hold "
               "(response files are Windows-1252 text); nothing was saved")
        .arg(lineNumber)
        .arg(character, code)
        .toStdString();
}

} // namespace

void AppendResponseLines(QPlainTextEdit &list, const std::vector<std::string> &lines)
{
    if (lines.empty())
        return;
    QString addition = joinedText(lines);
    if (endsWithBreak(*list.document()) || isEmpty(*list.document()))
        addition += QLatin1Char('\n');
    else
        addition.prepend(QLatin1Char('\n'));
    QTextCursor cursor(list.document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(addition);
    cursor.endEditBlock();
}

void SetResponseLines(QPlainTextEdit &list, const std::vector<std::string> &lines, bool finalBreak)
{
    QString text = joinedText(lines);
    if (finalBreak && !lines.empty())
        text += QLatin1Char('\n');
    // Through a cursor, in one edit block, so that the replacement is one step Ctrl+Z takes back;
    // setPlainText and clear would empty the undo stack with the old text.
    QTextCursor cursor(list.document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    if (text.isEmpty())
        cursor.removeSelectedText();
    else
        cursor.insertText(text);
    cursor.endEditBlock();
}

void ClearResponseList(QPlainTextEdit &list)
{
    SetResponseLines(list, {}, false);
}

int ResponseLineCount(const QPlainTextEdit &list)
{
    const QTextDocument &document = *list.document();
    if (isEmpty(document))
        return 0;
    qsizetype breaks = document.blockCount() - 1;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QString line = block.text();
        breaks += std::count_if(line.begin(), line.end(), isSoftBreak);
    }
    return int(breaks + (endsWithBreak(document) ? 0 : 1));
}

std::string ResponseListBytes(const QPlainTextEdit &list)
{
    std::string bytes;
    const QTextDocument &document = *list.document();
    int lineNumber = 1;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin()) {
            bytes += "\r\n";
            ++lineNumber;
        }
        const QString line = block.text();
        const std::u16string text = line.toStdU16String();
        const std::optional<std::string> encoded = EncodeResponseLine(text);
        if (!encoded) {
            const auto at = qsizetype(std::min(FirstUnencodableCharacter(text), text.size() - 1));
            lineNumber += int(std::count_if(line.begin(), line.begin() + at, isSoftBreak));
            throw Error(unencodableMessage(lineNumber, shown(line, at)));
        }
        lineNumber += int(std::count_if(line.begin(), line.end(), isSoftBreak));
        bytes += *encoded;
    }
    return bytes;
}

void ShowResponseText(QPlainTextEdit &list, std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    const bool finalBreak = !text.empty() && (text.back() == '\r' || text.back() == '\n');
    SetResponseLines(list, SplitResponseText(text), finalBreak);
}

} // namespace morvane
