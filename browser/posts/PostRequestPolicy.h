#pragma once

// What a downloaded post page may load: nothing from the network, and of the local
// files only those in the post's own folder or up to two folders above it (its
// stylesheets, XSL and images). The page itself is only what the program opened.

#include <QUrl>

constexpr int AllowedParentLevels = 2;

bool IsPostRequestAllowed(const QUrl &request, const QUrl &document, bool mainFrame);
