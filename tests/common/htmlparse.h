#pragma once

#include <QString>
#include <QStringList>

// An HTML text as a real parser (Python's html.parser) reads it.
struct ParsedHtml
{
    bool ok = false;
    QStringList tags;   // start tags in order
    QStringList lines;  // visible text, broken at <br>, <hr> and paragraphs
};
ParsedHtml parseHtml(const QString &html);
