#include "responses/ResponseListText.h"

#include "archive/ResponseFile.h"
#include "responses/ResponseTextCodec.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

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

bool endsWithEmptyLine(const QTextDocument &document)
{
    return document.lastBlock().length() <= 1;
}

} // namespace

void AppendResponseLines(QPlainTextEdit &list, const std::vector<std::string> &lines)
{
    if (lines.empty())
        return;
    QString addition = joinedText(lines);
    if (endsWithEmptyLine(*list.document()))
        addition += QLatin1Char('\n');
    else
        addition.prepend(QLatin1Char('\n'));
    QTextCursor cursor(list.document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(addition);
}

void SetResponseLines(QPlainTextEdit &list, const std::vector<std::string> &lines, bool finalBreak)
{
    QString text = joinedText(lines);
    if (finalBreak && !lines.empty())
        text += QLatin1Char('\n');
    list.setPlainText(text);
}

int ResponseLineCount(const QPlainTextEdit &list)
{
    const QTextDocument &document = *list.document();
    return document.blockCount() - (endsWithEmptyLine(document) ? 1 : 0);
}

std::string ResponseListBytes(const QPlainTextEdit &list)
{
    std::string bytes;
    const QTextDocument &document = *list.document();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin())
            bytes += "\r\n";
        bytes += EncodeResponseLine(block.text().toStdU16String());
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
