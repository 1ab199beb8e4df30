// SPDX-License-Identifier: GPL-2.0-or-later
// A quick reader for snapshot files in the shape the writer gives them.
#pragma once

#include <QByteArray>
#include <QVarLengthArray>

namespace kestrune::detail {

struct Span {
    const char* data = nullptr;
    qsizetype size = 0;
};

// The members of a snapshot document, as raw UTF-8 text between the quotes.
struct CanonicalDocument {
    Span plugin;
    Span name;
    Span state;
    Span geometry;
    QVarLengthArray<Span, 32> docks;
    QVarLengthArray<Span, 32> titles; // optional
};

// True only for a document that Qt's JSON parser reads to the same values:
// one object holding "format": 1, "plugin", "name", "state", "geometry" and
// "docks" (and optionally "obs" and "titles"), each once, every string valid UTF-8 with no
// escape and no control character, "docks" an array of such strings, and
// nothing but JSON white space around it. False says nothing about validity.
// The text of "state" and "geometry" is only delimited: the caller must accept
// nothing but the Base64 alphabet in it before trusting the rest.
bool scanCanonical(const QByteArray& bytes, CanonicalDocument& out);

} // namespace kestrune::detail
