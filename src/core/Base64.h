// SPDX-License-Identifier: GPL-2.0-or-later
// Strict Base64 as Qt's AbortOnBase64DecodingErrors reads it. Qt's decoder
// costs more than parsing a whole snapshot file, so the canonical text the
// writer produces is checked and decoded here, and only the rest goes to Qt.
#pragma once

#include <QByteArray>
#include <QString>

namespace kestrune::detail {

// Canonical Base64 (whole groups, alphabet only, "=" only at the end) of
// length units, decoded into out when given; out is left alone otherwise.
// Returns the decoded size, or -1 for text that is not canonical.
qsizetype decodeCanonicalBase64(const char* text, qsizetype length, QByteArray* out);
qsizetype decodeCanonicalBase64(const char16_t* text, qsizetype length, QByteArray* out);

struct StrictBase64 {
    bool ok = false;
    qsizetype size = 0;
    QByteArray bytes; // only when kept
};

// Qt's strict verdict on text and the decoded size; the bytes only with keep.
StrictBase64 decodeStrictBase64(const QString& text, bool keep);

} // namespace kestrune::detail
