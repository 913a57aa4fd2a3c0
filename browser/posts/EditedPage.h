#pragma once

// Writing back a post page that was edited in the post view.

#include <QString>

#include <string>

// The editing mode of a document as the program reads it: 0 "On", 1 "Off",
// 2 "Inherit" (case ignored), 31 for anything else.
int EditingModeCode(const QString &mode);

// Whether a name (GBK) ends in ".xml", case ignored.
bool EndsWithXml(const std::string &name);

// The name proposed when a post taken for XML is saved as a page: a final ".xml"
// replaced by ".htm" (123.xml gives 123.htm beside it). A page that only counts as XML
// by its title keeps its own name.
std::string ProposedHtmlPath(const std::string &postPath);

// The edited document as text in the page's own charset. Characters that charset
// cannot hold are written as numeric character references, never as "?". False when
// the charset is unknown here.
bool EncodePage(const QString &text, const QString &charset, std::string &bytes);

// A document read from the view: its doctype (may be empty) and document element.
QString SerializedPage(const QString &doctype, const QString &documentElement);

// The page with a <meta charset> after its <head> tag when it declares no charset:
// a page made from an XML post by its XSL has none, and its GBK bytes must read back.
QString WithCharsetDeclared(const QString &page, const QString &charset);

// Encodes and writes the page over path in one step (a temporary file renamed over
// it). On failure returns false with the reason (GBK) in why; the file is unchanged.
bool WriteEditedPage(const std::string &path, const QString &page, const QString &charset,
                     std::string &why);
