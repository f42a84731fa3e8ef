#pragma once

#include <QString>

// Rewrites texts that still carry the product's former names (Tolmar, its abbreviation Vekt,
// its former web domain) to the current ones. Pure functions; the patterns are built once and
// shared read-only by all threads.

// Every rewriting step in its fixed order; the argument is not changed.
QString rebrandText(const QString& text);

// The first step alone: the former web domain, as a whole word, becomes the current one.
QString rebrandDomain(const QString& text);
