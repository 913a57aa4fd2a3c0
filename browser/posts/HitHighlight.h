#pragma once

// Marking a body search's hits in the post it opened: the patterns of the query's
// terms as regular expressions for the page's text, and the script that marks every
// match and scrolls the first into view. The script runs in the program's own world;
// the marks it leaves are taken out again before an edited page is written.

#include "browser/search/SearchQuery.h"

#include <QString>
#include <QStringList>

// The attribute that tells a hit's mark from the page's own elements.
inline constexpr const char HitMarkAttribute[] = "data-quillery-hit";

// One JavaScript regular expression (flags "giu") per term the query asks for:
// excluded terms have nothing to mark. A term matches the page where its elements
// follow each other with only separators between them, words as whole words, as the
// index takes the text; letters in any case.
QStringList HitPatterns(const SearchQuery &query);

// The script that takes out earlier marks, marks every match of the patterns (across
// inline elements too) and scrolls the first into view; it returns the number of marks.
// The patterns reach the script as JSON data, never as script text.
QString HitMarkScript(const QStringList &patterns);

// An expression that takes the marks out of a copy of the document and gives its HTML:
// what an edited page writes.
QString UnmarkedPageHtmlExpression();
